#pragma once
// Whether a file or a folder can be changed by no one but the user and
// root. Code is loaded, and the window's instance lock kept, only where
// another user cannot put something of their own.

#include <string>

namespace zub {

// Why a place is not trusted; None when it is.
enum class Distrust {
  None,
  Missing,        // nothing is there
  NotFolder,      // a folder was wanted: something else is there, or a link
  ForeignOwner,   // it belongs to someone other than the user and root
  OthersMayWrite, // its group or everyone may change it
  OthersMayEnter  // its group or everyone may read or enter the user's own folder
};

struct TrustCheck {
  Distrust why = Distrust::None;
  std::string where; // the file or folder the verdict is about
  explicit operator bool() const { return why == Distrust::None; }
};

// A module to load from `file`. Its real path (every link resolved) is
// checked: the file and every folder above it belong to the user or root;
// neither the file nor its folder may be changed by anyone else; a folder
// further up may be writable by others only when it is sticky (a shared
// folder such as /tmp), where they cannot rename what is not theirs.
// `real` receives the real path: load that one, so that no link is
// followed again.
TrustCheck ModuleTrust(const std::string &file, std::string &real);

// A folder of the user's own: a folder (not a link to one) that belongs to
// the user, and that no one else may read, enter or change (mode 0700 or
// narrower).
TrustCheck OwnFolder(const std::string &folder);

// OwnFolder, making the folder with mode 0700 first when it is missing
// (its parent must exist). A folder of the user's own with a wider mode is
// narrowed to 0700.
TrustCheck MakeOwnFolder(const std::string &folder);

} // namespace zub
