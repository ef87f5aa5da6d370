#pragma once

namespace zub::cli {

// The usage texts: the whole program's, and each command's.
const char *Usage();
const char *EncodeUsage();
const char *ComposeUsage();
const char *ReadUsage();

// "zubqr 1.0.0"
const char *ProgramVersion();

} // namespace zub::cli
