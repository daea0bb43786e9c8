#pragma once
// The ".mshd" mesh definition grammar, apart from the loading it drives:
//
//   file   = ws { (header | entry) ws }
//   header = ("static" | "skeletal") ws ":"     sets the type of later entries
//   entry  = name ws "=" ws "<" file-name ">"   name: ASCII letters and digits
//
// ws is any run of space, tab, CR, LF, VT, FF and "#" comments to the end of
// the line. The file name (anything but ">") is relative to the directory of
// the ".mshd" file.
#include <functional>
#include <string>

enum class MeshFileType { Unset, Static, Skeletal };

struct MeshDefinition {
    MeshFileType type = MeshFileType::Unset;  // the last header before the entry
    std::string name;
    std::string fileName;  // as written between the brackets
};

// Parses text and hands each entry to onEntry as soon as it has been read,
// in file order. Text that is neither a header nor a complete entry ends the
// parse with the record "Malformed mesh definiton file: "<sourceName>"!";
// the entries before it have been handed over. Returns false in that case.
bool parseMeshDefinitions(const std::string& text, const std::string& sourceName,
                          const std::function<void(const MeshDefinition&)>& onEntry);
