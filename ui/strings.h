// The texts of the control layer.
#pragma once

namespace ui {

inline constexpr char kDuplicateName[] = "A component named %s already exists";
inline constexpr char kListIndexError[] = "List index out of bounds (%d)";
inline constexpr char kControlHasNoParent[] = "Control '%s' has no parent window";
inline constexpr char kCannotFocus[] = "Cannot focus a disabled or invisible window";
inline constexpr char kTreeIndexError[] = "Tree view index out of bounds";
inline constexpr char kUnknownFailure[] = "Unknown exception";
inline constexpr char kMenuIndexError[] = "Menu index out of range";
// The picture dialogs' panel and preview window.
inline constexpr char kPictureLabel[] = "Picture:";
inline constexpr char kPictureSize[] = " (%dx%d)";
inline constexpr char kPreviewHint[] = "Preview";
inline constexpr char kPreviewCaption[] = "Preview";
inline constexpr char kNoPicture[] = "(None)";

}  // namespace ui

namespace ui {
inline constexpr char kLayoutError[] = "Layout line %d: %s";
}  // namespace ui
