#pragma once

// The captions of the menus the main window and the batch window both have. Plain UTF-8, so
// that the main window's menu tables can hold them as they are.
namespace menutext {

inline constexpr char kFile[] = "ファイル(&F)";
inline constexpr char kExit[] = "終了(&X)";
inline constexpr char kHelp[] = "ヘルプ(&H)";
inline constexpr char kIndex[] = "目次(&I)";
inline constexpr char kAbout[] = "About(&A)";

} // namespace menutext
