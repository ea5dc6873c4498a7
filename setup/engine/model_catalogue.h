// The printer model catalogue, built from parallel lists of texts: one text per attribute,
// one line per model, line i of every list belonging to model i.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "install_choices.h"

// The text of a string id, "" when there is none.
using StringLookup = std::function<std::string(UINT id)>;

// Every "\n" separates two lines; an empty text is one empty line.
std::vector<std::string> SplitLines(const std::string& text);

// Builds the catalogue into `models` (emptied first). A list whose line count differs from
// the model count stops the build there: the models keep the fields set so far. Returns
// true when every list was applied.
bool BuildModelCatalogue(const StringLookup& text, ModelCatalogue& models);
// The same from the program's string table.
bool BuildModelCatalogue(ModelCatalogue& models);
