#pragma once
// The frame's menu bar as the resource has it: the Chinese titles, the
// command ids and their status-bar prompts, the check marks of Options.

#include <QString>

#include <map>

class QAction;
class QMenuBar;

namespace velmora {

// The command ids of the menu and the accelerator.
namespace Command {
inline constexpr int FileOpen = 57601;
inline constexpr int ExportColour = 40041;
inline constexpr int ExportGrey = 40043;
inline constexpr int MultiViewColour = 40044;
inline constexpr int MultiViewGrey = 40045;
inline constexpr int MultiViewChannels = 40049;
inline constexpr int Export3di = 40048;
// Point clouds for CGH libraries (ASCII) and point tools (binary).
inline constexpr int ExportPly = 40050;
inline constexpr int ExportPlyAscii = 40051;
inline constexpr int MultiViewPly = 40052;
inline constexpr int MultiViewPlyAscii = 40053;
inline constexpr int Hologram = 40054;
inline constexpr int Exit = 57665;
inline constexpr int ForceTwoSided = 40040;
inline constexpr int MaterialColour = 40042;
inline constexpr int ViewPointSet = 40046;
inline constexpr int ObjCoordinate = 40047;
inline constexpr int About = 40023;
inline constexpr int WhatToDo = 40035;
inline constexpr int FlyBy = 40028;
}  // namespace Command

class MainMenu {
public:
    // Fills `bar` with every pop-up and item, each item carrying its command
    // id as data and its prompt as status tip; the two Options items are
    // checkable, two-sided checked as `forceTwoSided` says.
    MainMenu(QMenuBar& bar, bool forceTwoSided);

    // The item of command `id`; null for none, and after clear().
    QAction* action(int id) const;
    void setChecked(int id, bool checked) const;
    // Forgets the items, before the menu bar goes.
    void clear() { actions_.clear(); }

private:
    std::map<int, QAction*> actions_;  // owned by their menus
};

}  // namespace velmora
