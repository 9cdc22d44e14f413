// Popup menus: TPopupMenu with its TMenuItem entries, shown at the cursor on a right click
// over a control that names the menu. The same menus show the window layer's menu handles
// (TrackPopupMenu), with the menu messages sent to the owner window while they are open.
#pragma once

#include <functional>
#include <vector>

#include "platform/user/menu.h"

#include "ui/component.h"
#include "ui/types.h"

// What to do with a key that is none of a menu's access keys.
struct TMenuKeyAnswer {
  enum TAction { mkIgnore, mkClose, mkExecute, mkSelect } action = mkIgnore;
  int index = 0;  // the entry to execute or highlight
};

class TMenuItem : public TComponent {
 public:
  using TMenuKeyEvent = std::function<void(TMenuItem* sender, char key, TMenuKeyAnswer& answer)>;

  explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
  ~TMenuItem() override;
  const char* ClassName() const override { return "TMenuItem"; }

  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& value) { caption_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value) { checked_ = value; }
  // The menu's default entry, shown in bold.
  bool Default() const { return default_; }
  void SetDefault(bool value) { default_ = value; }
  // A caption of "-" is a separator.
  bool IsLine() const { return caption_ == "-"; }

  int Count() const { return int(items_.size()); }
  TMenuItem* Items(int index) const;
  // The item joins this menu (an item is in one menu at a time).
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  TMenuItem* ParentItem() const { return parentItem_; }
  // An item that opens a sub-menu even while it has no entries yet (they come when it opens).
  bool IsSubMenu() const { return subMenu_ || !items_.empty(); }
  void SetSubMenu(bool value) { subMenu_ = value; }

  // Runs OnClick (a disabled item does nothing).
  virtual void Click();
  TNotifyEvent OnClick;
  // Whoever shows the menu calls these: the item is highlighted; its sub-menu is about to
  // show (OnOpening may change the entries); a key that is none of this item's entries'
  // access keys was pressed in its menu (mkIgnore when nobody answers).
  void Highlight();
  void Opening();
  TMenuKeyAnswer MenuKey(char key);
  TNotifyEvent OnHighlight;
  TNotifyEvent OnOpening;
  TMenuKeyEvent OnMenuKey;

 private:
  AnsiString caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  bool subMenu_ = false;
  bool default_ = false;
  std::vector<TMenuItem*> items_;
  TMenuItem* parentItem_ = nullptr;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  const char* ClassName() const override { return "TPopupMenu"; }

  // The root item; its children are the menu's entries.
  TMenuItem& Items() { return *items_; }
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  // The control the menu was last shown for.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* value) { popupComponent_ = value; }

  // Shows the menu at a screen position and runs the chosen item's click before returning.
  virtual void Popup(int x, int y);
  TNotifyEvent OnPopup;

  // Replaces what shows menus (tests choose an item instead of a modal menu); returns the
  // previous one. The presenter answers the chosen item or null.
  using Presenter = std::function<TMenuItem*(TPopupMenu& menu, int x, int y)>;
  static Presenter SetPresenter(Presenter presenter);

 protected:
  void Notification(TComponent* component) override;

 private:
  TMenuItem* items_;
  TComponent* popupComponent_ = nullptr;
  bool autoPopup_ = true;
};

namespace ui {

// TrackPopupMenu's host: a menu handle is shown as a TPopupMenu (so a presenter decides in
// tests), its sub-menus filled again each time they open. The application session installs it.
win::UINT TrackMenuHandle(win::HMENU menu, win::UINT flags, int x, int y, win::HWND owner);
void InstallMenuTrackHost();
void RemoveMenuTrackHost();

}  // namespace ui
