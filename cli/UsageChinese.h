#pragma once

// The usage texts in Chinese, for a zh_* locale (Usage.h chooses).
namespace zub::cli::chinese {

const char *Usage();
const char *EncodeUsage();
const char *ComposeUsage();
const char *ReadUsage();

} // namespace zub::cli::chinese
