#pragma once

#include "Options.h"
#include "Picture.h"

#include <QImage>
#include <QString>

#include <string>
#include <vector>

namespace zub::cli {

// Each command takes the arguments after its name and returns the exit status.
int Encode(const std::vector<std::string> &args);
int Compose(const std::vector<std::string> &args);

// Writes `image` to `path`: PNG for a .png name, otherwise a Windows bitmap;
// the file appears complete or not at all. False with `error` set on failure.
bool WritePicture(const QImage &image, const QString &path, std::string &error);

// Reads the message the options name and encodes it. On failure prints the
// one-line reason under the command's name and returns kFailed; else kOk.
int SymbolFor(const char *command, const EncodeOptions &options, Message &message, Picture &symbol);

} // namespace zub::cli
