// The usage texts of zubqr and its commands, and the program's version.
#include "Usage.h"

#include "Messages.h"
#include "UsageChinese.h"

namespace zub::cli {

const char *ProgramVersion() {
  return "zubqr " ZUB_VERSION;
}

const char *Usage() {
  if (MessageLanguage() == Language::Chinese)
    return chinese::Usage();
  return "usage: zubqr encode  [options] [TEXT] -o FILE    the QR code of a message\n"
         "       zubqr encode  [options] --batch FILE -o OUT one code a line of FILE\n"
         "       zubqr encode  [options] --wifi SSID|--tel NUMBER|--sms NUMBER|--mail ADDRESS|\n"
         "                     --geo LAT,LON|--contact ... -o FILE\n"
         "                                                 a Wi-Fi network, phone, text message,\n"
         "                                                 mail, place or contact card\n"
         "       zubqr compose [options] [TEXT] --logo FILE -o FILE\n"
         "                                                 the code with a logo, as the window "
         "saves it\n"
         "       zubqr compose [options] --batch FILE --logo FILE -o OUT\n"
         "       zubqr read [--bytes] [-0] [-v] IMAGE...     the messages of QR codes in pictures\n"
         "       zubqr -h | --help | COMMAND --help         this text, or a command's\n"
         "       zubqr -V | --version                       the program's version\n"
         "exit status: 0 done, 1 the message does not fit or a file failed, 2 bad usage,\n"
         "             3 --readable found no code that scans\n";
}

namespace {

#define ZUB_MESSAGE_OPTIONS                                                                        \
  "The message (one of, else text from standard input):\n"                                         \
  "  TEXT, --text TEXT    the message as text\n"                                                   \
  "  --input FILE         the message as the file's bytes, unchanged ('-' = standard input)\n"     \
  "  -e, --encoding E     how text becomes bytes: utf8 (default) or ansi (code page 936, GBK;\n"   \
  "                       '?' for what it lacks)\n"                                                \
  "The symbol:\n"                                                                                  \
  "  --version N          0 (automatic, the default) or 1 to 40\n"                                 \
  "  -l, --level L        error correction L, M (default), Q or H\n"                               \
  "  --mask M             mask pattern 0 to 7, or auto (the default: mask 0)\n"                    \
  "  --eci N              open the data with ECI assignment number N (26: UTF-8), so\n"            \
  "                       readers need not guess the character set; 0 (default) none\n"            \
  "  --readable           write only a code that zxing-cpp, zbar and wechat_qrcode all\n"          \
  "                       read back as the message, that zxing-cpp and wechat_qrcode\n"            \
  "                       also read in three phone-like captures of the picture, and\n"            \
  "                       whose modules are 3 pixels or more: on failure try the other\n"          \
  "                       character sets, the smallest version at each level, versions\n"          \
  "                       between, then larger ones, and say on standard error what\n"             \
  "                       changed; exit 3 without writing when none of them does\n"                \
  "  -v, --verbose        with a code that may not scan, also name the readers and the\n"          \
  "                       causes (blocks, covered patterns, uneven stretch, module size,\n"        \
  "                       captures)\n"

#define ZUB_FORM_OPTIONS                                                                           \
  "Instead of a text, a form (one kind at a time; its text is always UTF-8):\n"                    \
  "  --wifi SSID          joining a Wi-Fi network: --password P, --security wpa|wep|none\n"        \
  "                       (default: wpa with a password, else none), --hidden for a\n"             \
  "                       network that does not announce its name\n"                               \
  "  --tel NUMBER         a number to call\n"                                                      \
  "  --sms NUMBER         a text message to send: --body B\n"                                      \
  "  --mail ADDRESS       a mail to write: --subject S, --body B\n"                                \
  "  --geo LAT,LON        a place in decimal degrees, such as 39.9087,116.3975\n"                  \
  "  --contact            a contact card: --name N (needed), --phone P, --email E, --org O,\n"     \
  "                       --address A, --url U, --note T (MECARD; vCard 3.0 with an\n"             \
  "                       organisation, address, web address or note)\n"

#define ZUB_BATCH_OPTIONS                                                                          \
  "Many codes at once:\n"                                                                          \
  "  --batch FILE         one code a line of FILE ('-' = standard input): TEXT, or\n"              \
  "                       NAME<TAB>TEXT; \\n, \\t and \\\\ stand for a line break, a tab\n"        \
  "                       and a backslash. -o is then a folder (files NAME.png, else\n"            \
  "                       by line number) or a pattern with {n} (the line number,\n"               \
  "                       zero-padded) and {name}. Every other option applies to\n"                \
  "                       every line; a failing line is reported by its number and the\n"          \
  "                       rest go on. Two lines for one file: nothing is written.\n"               \
  "  --columns KIND       with --batch: each line is a form of KIND (wifi, tel, sms, mail,\n"      \
  "                       geo, contact), tab-separated: the file's name (empty: the line\n"        \
  "                       number), then wifi: SSID, password, security, hidden (yes/no);\n"        \
  "                       tel: number; sms: number, body; mail: address, subject, body;\n"         \
  "                       geo: latitude, longitude; contact: name, phone, email, org,\n"           \
  "                       address, url, note. Columns left out at the end are empty.\n"            \
  "  --threads N          threads for a batch, 1 to 256 (default: ZUBQR_THREADS, else\n"           \
  "                       every core); the files do not depend on it\n"

#define ZUB_EXIT_STATUS                                                                            \
  "Exit status: 0 done, 1 the message does not fit or a file failed (nothing written),\n"          \
  "2 bad usage, 3 --readable found no code that scans (nothing written).\n"                        \
  "A batch exits 1 when a line failed, 3 when every failure was --readable's.\n"                   \
  "-h, --help: this text; -V: the program's version.\n"

} // namespace

const char *EncodeUsage() {
  if (MessageLanguage() == Language::Chinese)
    return chinese::EncodeUsage();
  return "usage: zubqr encode [options] [TEXT] -o FILE\n"
         "The QR code of a message, 4 pixels a module by default, with a quiet "
         "zone.\n" ZUB_MESSAGE_OPTIONS ZUB_FORM_OPTIONS "The picture:\n"
         "  -o, --output FILE    where to write it; '-' = standard output\n"
         "  --format F           png, bmp, jpg, svg, utf8 or utf8i; without it the name's\n"
         "                       suffix decides (.png .bmp .jpg .jpeg .svg; no suffix: bmp)\n"
         "                       and standard output gets png. utf8 draws the code with half\n"
         "                       blocks for a dark terminal (to standard output without -o),\n"
         "                       utf8i (or --invert) for a light one.\n"
         "  --fg C, --bg C       the dark and the light modules' colours: #RRGGBB, #RRGGBBAA\n"
         "                       (png and svg) or a CSS colour name; black on white by\n"
         "                       default. Too little contrast or light on dark: a warning\n"
         "                       (--readable refuses them, exit 3).\n"
         "  --scale N            pixels a module, 1 to 100 (default 4); a phone filming a\n"
         "                       screen needs 3 or more\n"
         "  --margin N           modules of quiet zone around the code, 0 to 100 (default "
         "4)\n" ZUB_BATCH_OPTIONS ZUB_EXIT_STATUS;
}

const char *ComposeUsage() {
  if (MessageLanguage() == Language::Chinese)
    return chinese::ComposeUsage();
  return "usage: zubqr compose [options] [TEXT] --logo FILE -o FILE\n"
         "The window's picture without a window: the code stretched over the 552 x 409\n"
         "canvas with the rounded logo, pixel for pixel what the window "
         "saves.\n" ZUB_MESSAGE_OPTIONS ZUB_FORM_OPTIONS "The picture:\n"
         "  --logo FILE          the logo picture (JPEG, PNG, BMP, GIF)\n"
         "  -o, --output FILE    where to write it; '-' = standard output\n"
         "  --format F           png, bmp, jpg or svg; without it the name's suffix decides\n"
         "                       (.png .bmp .jpg .jpeg .svg; no suffix: bmp), standard\n"
         "                       output png\n"
         "  --scale N            draw it N times larger (1 to 16, default 1), for print:\n"
         "                       the modules exact N x N blocks, the logo drawn from its\n"
         "                       picture; the file says 96 x N dpi, at most 300\n"
         "svg writes a vector picture that enlarges to any size: the modules one path,\n"
         "the logo inside the file; it is checked as a renderer draws it.\n"
         "A warning on standard error (the file is still written) says when a reader\n"
         "cannot read the composite back, when its modules are too small for a phone\n"
         "or when phone-like captures of it do not read.\n" ZUB_BATCH_OPTIONS ZUB_EXIT_STATUS;
}

const char *ReadUsage() {
  if (MessageLanguage() == Language::Chinese)
    return chinese::ReadUsage();
  return "usage: zubqr read [--bytes] [-0] [--verbose] IMAGE...\n"
         "Reads the QR codes in each picture ('-' = standard input) and prints each one's\n"
         "message on a line: every code either reader finds, once each. On a terminal,\n"
         "control characters are shown escaped (\\n, \\x1b, \\\\ for a backslash).\n"
         "  --bytes              print the message bytes as hexadecimal instead of text\n"
         "  -0, --null           end each message with a NUL instead of a line break, and\n"
         "                       print it unescaped, for scripts\n"
         "  --verbose            name each file, and the version, level and mask of each\n"
         "                       code, on standard error\n"
         "Exit status: 0 every picture held a code, 1 one did not or could not be read,\n"
         "2 bad usage.\n";
}

} // namespace zub::cli
