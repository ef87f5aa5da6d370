#pragma once

// The two studios' web addresses and the community group of the About
// message. Reserved example domains: nothing real is ever contacted.
namespace zub {

// The first studio: the default text to encode and a menu link.
inline constexpr char kStudioAddress[] = "http://www.zub.example/";
// The second studio: a menu link, the About message and the page loaded in
// the background at start.
inline constexpr char kMorviAddress[] = "http://www.morvi.example/";
inline constexpr char kGroupNumber[] = "10000001";

} // namespace zub
