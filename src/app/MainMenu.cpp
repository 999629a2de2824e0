#include "app/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <vector>

namespace velmora {

namespace {

// One menu entry: a command, or a pop-up with its children.
struct MenuEntry {
    const char* text;
    int id;              // 0 for a pop-up
    const char* prompt;  // the status-bar prompt, "" for none
    std::vector<MenuEntry> children;
};

const std::vector<MenuEntry>& menuTree() {
    static const std::vector<MenuEntry> tree = {
        {"&F文件",
         0,
         "",
         {
             {"&O打开", Command::FileOpen, "Select an alternate 3D Studio MAX (.3ds) Mesh File", {}},
             {"彩色输出", Command::ExportColour, "", {}},
             {"灰度输出", Command::ExportGrey, "", {}},
             {"多视角输出",
              0,
              "",
              {
                  {"M_Export_Color", Command::MultiViewColour, "", {}},
                  {"M_Export_Gray", Command::MultiViewGrey, "", {}},
                  {"分立彩色输出", Command::MultiViewChannels, "彩色输出分3个文件", {}},
                  {"PLY", Command::MultiViewPly, "Export each view as a binary PLY point cloud", {}},
                  {"PLY (ASCII)",
                   Command::MultiViewPlyAscii,
                   "Export each view as an ASCII PLY point cloud for CGH libraries",
                   {}},
              }},
             {"输出3D数据", Command::Export3di, "输出3D成像系统仿真数据", {}},
             {"PLY", Command::ExportPly, "Export the visible surface as a binary PLY point cloud", {}},
             {"PLY (ASCII)",
              Command::ExportPlyAscii,
              "Export the visible surface as an ASCII PLY point cloud for CGH libraries",
              {}},
             {"Hologram",
              Command::Hologram,
              "Compute the hologram of the visible surface and show it with a focus slider",
              {}},
             {"E&xit", Command::Exit, "", {}},
         }},
        {"&O选项",
         0,
         "",
         {
             {"&Force 2-Sided Materials", Command::ForceTwoSided, "Forces Unspecified Materials to be 2-Sided", {}},
             {"Material_Color", Command::MaterialColour, "", {}},
         }},
        {"V视图",
         0,
         "",
         {
             {"ViewPoint_Set", Command::ViewPointSet, "", {}},
             {"ObjCoordinate", Command::ObjCoordinate, "", {}},
         }},
        {"&H帮助",
         0,
         "",
         {
             {"&About", Command::About, "VELMORA", {}},
             {"&What to do", Command::WhatToDo, "Displays Keystroke usage information", {}},
             {"Fly &By", Command::FlyBy, "Performs a Fly By of the mesh graphic... press HOME key to reset.", {}},
         }},
    };
    return tree;
}

void addEntry(QMenu& menu, const MenuEntry& entry, std::map<int, QAction*>& actions) {
    if (entry.id == 0) {
        QMenu* popup = menu.addMenu(QString::fromUtf8(entry.text));
        for (const auto& child : entry.children) addEntry(*popup, child, actions);
        return;
    }
    QAction* action = menu.addAction(QString::fromUtf8(entry.text));
    action->setData(entry.id);
    action->setStatusTip(QString::fromUtf8(entry.prompt));
    actions[entry.id] = action;
}

}  // namespace

MainMenu::MainMenu(QMenuBar& bar, bool forceTwoSided) {
    for (const auto& top : menuTree()) {
        QMenu* menu = bar.addMenu(QString::fromUtf8(top.text));
        for (const auto& child : top.children) addEntry(*menu, child, actions_);
    }
    for (int id : {Command::ForceTwoSided, Command::MaterialColour}) actions_[id]->setCheckable(true);
    setChecked(Command::ForceTwoSided, forceTwoSided);
    setChecked(Command::MaterialColour, false);
}

QAction* MainMenu::action(int id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void MainMenu::setChecked(int id, bool checked) const {
    if (QAction* item = action(id)) item->setChecked(checked);
}

}  // namespace velmora
