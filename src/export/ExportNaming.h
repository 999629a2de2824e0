#pragma once
// How the names chosen in the save dialog become the names of the files.

#include <string>

namespace velmora {

// Appends ".CGH" unless the name ends in ".cgh" in any letter case.
std::string withCghExtension(const std::string& chosen);
// Appends ".3di" unless the name ends in ".3di" in any letter case.
std::string with3diExtension(const std::string& chosen);
// Appends ".ply" unless the name ends in ".ply" in any letter case.
std::string withPlyExtension(const std::string& chosen);

// A name that ends in four extension characters (after withCghExtension):
// the colour or grey file of view `number` (1, 2, ...): obj.CGH -> obj3.CGH.
std::string multiViewFileName(const std::string& cghName, int number);
// The per-channel stem and the suffix of view `number`: obj.CGH -> "obj",
// "3.CGH"; the channel files are then objr3.CGH, objg3.CGH, objb3.CGH.
std::string multiViewStem(const std::string& cghName);
std::string multiViewSuffix(int number);
// A name that ends in four extension characters (after withPlyExtension):
// the file of view `number`: obj.ply -> obj3.ply.
std::string multiViewPlyFileName(const std::string& plyName, int number);
// The hologram prefix of view `number`: obj -> obj3, whose files are then
// obj3-638nm.png and so on.
std::string multiViewPrefix(const std::string& prefix, int number);

}  // namespace velmora
