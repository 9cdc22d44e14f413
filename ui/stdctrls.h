// The standard controls: panel, label, edit, memo, button, group box.
#pragma once

#include <vector>

#include "ui/controls.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Draws a raised or lowered bevel of width pixels inside rect and shrinks rect by it.
void Frame3D(TCanvas& canvas, win::RECT& rect, TColor topLeft, TColor bottomRight, int width);

class TPanel : public TCustomControl {
 public:
  explicit TPanel(TComponent* owner);
  const char* ClassName() const override { return "TPanel"; }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // Children aligned inside borders and bevels.
  void AdjustClientRect(win::RECT& rect) const override;

 protected:
  void Paint() override;

 private:
  TAlignment alignment_ = TAlignment::taCenter;
  TBevelCut bevelInner_ = TBevelCut::bvNone;
  TBevelCut bevelOuter_ = TBevelCut::bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
};

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);
  const char* ClassName() const override { return "TLabel"; }

  // On: the label takes the size of its caption (the width too unless it word-wraps).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  void SetTransparent(bool value) { SetTransparentFlag(value); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  void Paint(TCanvas& canvas) override;

 protected:
  void TextChanged() override;
  void FontChanged() override;

 private:
  void AdjustBounds();
  bool autoSize_ = true;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  TTextLayout layout_ = TTextLayout::tlTop;
  bool wordWrap_ = false;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  const char* ClassName() const override { return "TEdit"; }
  AnsiString Text() const;
  void SetText(const AnsiString& value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  void SelectAll();
  TNotifyEvent OnChange;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;

 private:
  QLineEdit* Edit();
  AnsiString text_;
  bool readOnly_ = false;
  int maxLength_ = 0;
  bool settingText_ = false;
};

// The memo's lines, a view of its text.
class TMemo;
class TMemoLines {
 public:
  explicit TMemoLines(TMemo& memo) : memo_(memo) {}
  int Count() const;
  AnsiString Strings(int index) const;
  void Add(const AnsiString& line);
  void Clear();
  AnsiString Text() const;
  void SetText(const AnsiString& text);

 private:
  TMemo& memo_;
};

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);
  const char* ClassName() const override { return "TMemo"; }
  TMemoLines& Lines() { return lines_; }
  // Lines joined with "\r\n".
  AnsiString Text() const;
  void SetText(const AnsiString& value);
  TNotifyEvent OnChange;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;

 private:
  friend class TMemoLines;
  void Store();
  std::vector<AnsiString> lines_data_;
  TMemoLines lines_;
  bool settingText_ = false;
};

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  const char* ClassName() const override { return "TButton"; }
  bool Default() const { return default_; }
  void SetDefault(bool value);
  // A click from code runs the same handler as a click with the mouse.
  void Click() override;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void TextChanged() override;

 private:
  bool default_ = false;
};

class TGroupBox : public TCustomControl {
 public:
  explicit TGroupBox(TComponent* owner);
  const char* ClassName() const override { return "TGroupBox"; }
  // Children aligned below the caption, inside the etched frame.
  void AdjustClientRect(win::RECT& rect) const override;

 protected:
  void Paint() override;
};
