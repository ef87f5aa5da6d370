// zubqr's usage texts in Chinese: the same options, in the same order, as
// the English ones of Usage.cpp.
#include "UsageChinese.h"

namespace zub::cli::chinese {

const char *Usage() {
  return "用法：zubqr encode  [选项] [TEXT] -o FILE      生成一段内容的二维码\n"
         "      zubqr encode  [选项] --batch FILE -o OUT   为 FILE 的每一行生成一个二维码\n"
         "      zubqr encode  [选项] --wifi SSID|--tel 号码|--sms 号码|--mail 地址|\n"
         "                    --geo 纬度,经度|--contact ... -o FILE\n"
         "                                                 "
         "Wi-Fi、电话、短信、邮件、位置或名片的二维码\n"
         "      zubqr compose [选项] [TEXT] --logo FILE -o FILE\n"
         "                                                 带 Logo 的二维码，与窗口保存的相同\n"
         "      zubqr compose [选项] --batch FILE --logo FILE -o OUT\n"
         "      zubqr read [--bytes] [-0] [-v] IMAGE...    读出图片中二维码的内容\n"
         "      zubqr -h | --help | 命令 --help            显示本说明，或某个命令的说明\n"
         "      zubqr -V | --version                       显示程序的版本\n"
         "退出状态：0 完成，1 内容放不下或文件出错，2 用法错误，\n"
         "          3 --readable 找不到能扫出的二维码\n";
}

namespace {

#define ZUB_MESSAGE_OPTIONS_ZH                                                                                             \
  "内容（任选其一，都没有时从标准输入读取文字）：\n"                                                \
  "  TEXT, --text TEXT    以文字给出内容\n"                                                                         \
  "  --input FILE         以文件的字节原样作为内容（“-”为标准输入）\n"                              \
  "  -e, --encoding E     文字转为字节的方式：utf8（默认）或 ansi（代码页 936，即 GBK；\n"           \
  "                       无法表示的字符写成“?”）\n"                                                         \
  "二维码：\n"                                                                                                         \
  "  --version N          0（自动，默认）或 1 到 40\n"                                                            \
  "  -l, --level L        纠错等级 L、M（默认）、Q 或 H\n"                                                      \
  "  --mask M             掩码 0 到 7，或 auto（默认：掩码 0）\n"                                              \
  "  --eci N              数据以 ECI 编号 N 开头（26：UTF-8），扫码软件就不必猜字符集；\n"          \
  "                       0（默认）不写\n"                                                                           \
  "  --readable           只写出 zxing-cpp、zbar 和 wechat_qrcode 都能原样读出、\n"                            \
  "                       每个点至少 3 像素、三种模拟手机拍摄画面也能被\n"                            \
  "                       zxing-cpp 和 wechat_qrcode 读出的二维码：读不出时依次尝试\n"                     \
  "                       其他字符集、各纠错等级下最小的版本、其间的版本和更大的版本，\n"    \
  "                       并在标准错误上说明改了什么；都不行时不写文件，退出状态 3\n"           \
  "  -v, --verbose        二维码可能扫不出时，同时列出扫码软件和原因（块、被遮住的图形、\n" \
  "                       不均匀的拉伸、点的大小、拍摄画面）\n"

#define ZUB_FORM_OPTIONS_ZH                                                                                       \
  "也可以不给文字，而是填写一种内容（一次一种；总是以 UTF-8 写出）：\n"              \
  "  --wifi SSID          连接 Wi-Fi 网络：--password 密码，--security wpa|wep|none\n"                    \
  "                       （默认：有密码时 wpa，否则 none），不广播名称的网络加 --hidden\n" \
  "  --tel 号码           拨打的电话号码\n"                                                              \
  "  --sms 号码           发送的短信：--body 内容\n"                                                    \
  "  --mail 地址          要写的邮件：--subject 主题，--body 正文\n"                                 \
  "  --geo 纬度,经度      地图上的位置，十进制度数，例如 39.9087,116.3975\n"                   \
  "  --contact            名片：--name 姓名（必填），--phone 电话，--email 邮箱，\n"              \
  "                       --org 单位，--address 地址，--url 网址，--note 备注\n"                       \
  "                       （写成 MECARD；有单位、地址、网址或备注时写成 vCard 3.0）\n"

#define ZUB_BATCH_OPTIONS_ZH                                                                                          \
  "批量生成：\n"                                                                                                 \
  "  --batch FILE         FILE 的每一行生成一个二维码（“-”为标准输入）：TEXT 或\n"            \
  "                       NAME<TAB>TEXT；\\n、\\t 和 \\\\ 分别表示换行、制表符和反斜杠。\n"         \
  "                       这时 -o 是一个文件夹（文件名为 NAME.png，没有 NAME 时用行号），\n"    \
  "                       或含 {n}（补零的行号）和 {name} 的名称模式。其余选项对每一行\n"     \
  "                       都有效；出错的行按行号报告，其他行继续。两行写同一个文件时\n"  \
  "                       什么都不写。\n"                                                                       \
  "  --columns KIND       与 --batch 同用：每一行是一种内容（wifi、tel、sms、mail、geo、\n"         \
  "                       contact）的各列，以制表符分隔：先是文件名（空：用行号），然后\n" \
  "                       wifi：SSID、password、security、hidden（yes/no）；tel：号码；\n"                 \
  "                       sms：号码、body；mail：地址、subject、body；geo：纬度、经度；\n"          \
  "                       contact：name、phone、email、org、address、url、note。\n"                           \
  "                       行尾省略的列为空。\n"                                                              \
  "  --threads N          批量生成的线程数，1 到 256（默认：ZUBQR_THREADS，否则为\n"                \
  "                       全部核心）；生成的文件与线程数无关\n"

#define ZUB_EXIT_STATUS_ZH                                                                                   \
  "退出状态：0 完成，1 内容放不下或文件出错（没有写出文件），2 用法错误，\n" \
  "3 --readable 找不到能扫出的二维码（没有写出文件）。\n"                                 \
  "批量生成时有一行失败则为 1，所有失败都是 --readable 找不到时为 3。\n"            \
  "-h, --help：显示本说明；-V：显示程序的版本。\n"

} // namespace

const char *EncodeUsage() {
  return "用法：zubqr encode [选项] [TEXT] -o FILE\n"
         "生成一段内容的二维码，默认每个模块 4 个像素，四周留有空白区。\n" ZUB_MESSAGE_OPTIONS_ZH
             ZUB_FORM_OPTIONS_ZH "图片：\n"
         "  -o, --output FILE    写到哪里；“-”为标准输出\n"
         "  --format F           png、bmp、jpg、svg、utf8 或 utf8i；不给出时由文件名的后缀决定\n"
         "                       （.png .bmp .jpg .jpeg .svg；没有后缀：bmp），标准输出为 png。\n"
         "                       utf8 用半格字符为深色终端画出二维码（没有 -o 时写到标准输出），\n"
         "                       utf8i（或 --invert）用于浅色终端。\n"
         "  --fg C, --bg C       深色和浅色模块的颜色：#RRGGBB、#RRGGBBAA（png 和 svg）或 CSS\n"
         "                       颜色名；默认白底黑码。对比度太低或浅色比深色还深时给出警告\n"
         "                       （--readable 拒绝这样的颜色，退出状态 3）。\n"
         "  --scale N            每个模块的像素数，1 到 100（默认 4）；用手机扫屏幕上的\n"
         "                       二维码需要 3 或以上\n"
         "  --margin N           二维码四周空白区的模块数，0 到 100（默认 "
         "4）\n" ZUB_BATCH_OPTIONS_ZH ZUB_EXIT_STATUS_ZH;
}

const char *ComposeUsage() {
  return "用法：zubqr compose [选项] [TEXT] --logo FILE -o FILE\n"
         "不开窗口生成窗口中的图片：二维码拉伸到 552 x 409 的画布上，加上圆角 Logo，\n"
         "与窗口保存的逐像素相同。\n" ZUB_MESSAGE_OPTIONS_ZH ZUB_FORM_OPTIONS_ZH "图片：\n"
         "  --logo FILE          Logo 图片（JPEG、PNG、BMP、GIF）\n"
         "  -o, --output FILE    写到哪里；“-”为标准输出\n"
         "  --format F           png、bmp、jpg 或 svg；不给出时由文件名的后缀决定\n"
         "                       （.png .bmp .jpg .jpeg .svg；没有后缀：bmp），标准输出为 png\n"
         "  --scale N            放大 N 倍（1 到 16，默认 1），供打印：每个像素成为 N x N\n"
         "                       的方块，Logo 由原图画出；文件标明 96 x N dpi，最多 300\n"
         "svg 写出矢量图，可任意放大：模块为一条路径，Logo 嵌在文件里；按渲染出的画面检查。\n"
         "扫码软件读不出合成的图片时，标准错误上会给出警告（文件照样写出）。\n" ZUB_BATCH_OPTIONS_ZH
             ZUB_EXIT_STATUS_ZH;
}

const char *ReadUsage() {
  return "用法：zubqr read [--bytes] [-0] [--verbose] IMAGE...\n"
         "读出每张图片（“-”为标准输入）中的二维码，每个二维码的内容占一行：两种扫码软件\n"
         "找到的每一个二维码，各一次。在终端上，控制字符以转义形式显示（\\n、\\x1b，\n"
         "反斜杠为 \\\\）。\n"
         "  --bytes              以十六进制显示内容的字节，而不是文字\n"
         "  -0, --null           每个内容以 NUL 而不是换行结束，且不转义，供脚本使用\n"
         "  --verbose            在标准错误上列出每个文件，以及每个二维码的版本、纠错等级和掩码\n"
         "退出状态：0 每张图片都有二维码，1 有图片没有二维码或无法读取，2 用法错误。\n";
}

} // namespace zub::cli::chinese
