#pragma once

#include "Picture.h"

#include <QImage>
#include <QRect>

#include <vector>

namespace zub {

// The smallest module a phone resolves at the usual distance, in pixels of
// the saved picture, in either direction: below it, readers lose phone
// captures of a picture they read as a file.
inline constexpr int kPhoneModulePixels = 3;

// One Reed-Solomon block of a symbol as the composite shows it.
struct BlockDamage {
  int wrong = 0;    // codewords with at least one module that reads wrong
  int capacity = 0; // errors the block corrects, the misdecode reserve kept
};

// The parts of the symbol that let a reader find its grid and its format.
enum FunctionPart : unsigned {
  kFinderPart = 1u << 0,    // a finder pattern or its separator
  kAlignmentPart = 1u << 1, // an alignment pattern
  kTimingPart = 1u << 2,    // a timing line
  kFormatPart = 1u << 3,    // a format-information copy (or the dark module)
  kVersionPart = 1u << 4,   // a version-information block
};

// What the composite does to the symbol, independent of any reader: every
// module is sampled at its centre, where the stretch puts it, and compared
// with the symbol.
struct ModuleDamage {
  int version = 0; // 0: no symbol to count
  int ecLevel = 0;
  std::vector<BlockDamage> blocks; // in block order, short blocks first
  int wrongModules = 0;            // data and function modules that read wrong
  unsigned underLogo = 0;          // FunctionPart bits of parts the logo covers
  unsigned damaged = 0;            // FunctionPart bits of parts with a wrong module
  // The narrowest and widest module of the stretched grid, in pixels, over
  // both axes: 2 and 3 means neighbouring modules differ by half their size.
  int minModulePixels = 0;
  int maxModulePixels = 0;

  bool PastCapacity() const;
  // Some module is smaller than kPhoneModulePixels in either direction.
  bool SmallModules() const { return version > 0 && minModulePixels < kPhoneModulePixels; }
  // The block whose wrong codewords exceed its capacity the most; -1 when
  // none does.
  int WorstBlock() const;
};

// Errors one block of `ecCodewords` check codewords corrects at `version`
// and `ecLevel`: half of them, less the codewords the smallest symbols keep
// back so that a damaged symbol is not taken for another one.
int CorrectableErrors(int version, int ecLevel, int ecCodewords);

// Counts the damage of `composite`, which shows `symbol` (the encoder's
// picture: one grey pixel per module inside the quiet zone, made as `facts`
// say) stretched over the whole composite. The logo box `logoBox` (empty: no
// logo) decides what lies under the logo: a module whose centre falls in its
// rounded region. A symbol whose size is not the one its facts give, or
// facts of no symbol, give version 0.
ModuleDamage CountModuleDamage(const QImage &composite, const QImage &symbol,
                               const SymbolFacts &facts, const QRect &logoBox);

} // namespace zub
