// Resource ids of the window's own resources (the dialog template and the
// application icon) and of the page it shows.
#pragma once

inline constexpr int kDialogTemplateId = 102;
inline constexpr int kApplicationIconId = 128;
