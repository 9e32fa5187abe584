// Model files: a model as JSON text, kept between sessions and read back to the same predictions.
#pragma once

#include <string>

#include "tarvo/model.h"

namespace tarvo {

// The format version this program writes; it reads this one and older ones.
inline constexpr int kModelFormatVersion = 1;

// The model as the text of a model file. Every real is written as a short decimal that reads back
// to the same bits. Names that are not UTF-8 are kept byte for byte (as hex).
std::string ModelText(const Model& model);

// The model in a model file's text. Throws ModelError when the text is not a model this program
// can read: damaged, edited into an inconsistent model, or of a newer format version. `name`
// stands for the file in the message.
Model ModelOfText(const std::string& text, const std::string& name);

// Writes the file through a temporary file in the same folder that replaces it once complete;
// throws ModelError, naming the file, when it cannot be written.
void SaveModel(const Model& model, const std::string& path);

// Reads a model file; throws ModelError with one message when it cannot.
Model LoadModel(const std::string& path);

}  // namespace tarvo
