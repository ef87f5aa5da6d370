#pragma once

#include "Options.h"

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

// The one-line reason for a message that fits no symbol with these options.
std::string DoesNotFit(const EncodeOptions &options, std::size_t bytes);

} // namespace zub::cli
