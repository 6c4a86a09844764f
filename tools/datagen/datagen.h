// datagen.h
// The generator's two non-picture outputs: the OBJ model and the contact sheet.
#pragma once

#include <string>
#include <vector>

// Writes the knotted-tube model as OBJ text (v, vt, vn, g and f lines). False with a reason.
bool writeKnotModel(const std::string& path, std::string& error);

// One picture on the contact sheet: its path under the textures folder.
struct SheetEntry {
    std::string name;
};
// Lays out every listed picture (read back from texturesDir) with its name, size and kind, plus
// a small rendering of the model, into one PNG. False with a reason.
bool writeContactSheet(const std::string& texturesDir, const std::vector<SheetEntry>& entries,
                       const std::string& modelPath, const std::string& sheetPath, std::string& error);
