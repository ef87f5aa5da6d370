// What keeps a form from becoming its text, in the words of the window and
// of the command line.
#include "PayloadWords.h"

namespace zub {

std::string PayloadProblemWords(PayloadProblem problem, Language language) {
  const auto say = [language](const char *chinese, const char *english) {
    return std::string(language == Language::Chinese ? chinese : english);
  };
  switch (problem) {
  case PayloadProblem::EmptyNetworkName:
    return say("请填写网络名称", "the network name is empty");
  case PayloadProblem::NetworkNameTooLong:
    return say("网络名称太长：最多 32 个字节（约 10 个汉字）",
               "the network name is longer than 32 bytes");
  case PayloadProblem::MissingPassword:
    return say("WPA 和 WEP 网络需要密码", "a WPA or WEP network needs a password");
  case PayloadProblem::PasswordWithoutSecurity:
    return say("不加密的网络没有密码", "an open network (no security) has no password");
  case PayloadProblem::WpaPasswordTooShort:
    return say("WPA 密码至少要 8 个字符", "a WPA password has at least 8 characters");
  case PayloadProblem::WepKeyLength:
    return say("WEP 密钥应为 5 或 13 个字符，或 10 或 26 位十六进制数字",
               "a WEP key has 5 or 13 characters, or 10 or 26 hexadecimal digits");
  case PayloadProblem::EmptyName:
    return say("请填写姓名", "the name is empty");
  case PayloadProblem::EmptyPhoneNumber:
    return say("请填写电话号码", "the phone number is empty");
  case PayloadProblem::InvalidPhoneNumber:
    return say("电话号码只能由数字、空格、开头的 + 和 - . ( ) * # 组成",
               "a phone number holds only digits, spaces, a leading + and - . ( ) * #");
  case PayloadProblem::EmptyMailAddress:
    return say("请填写邮箱地址", "the mail address is empty");
  case PayloadProblem::InvalidMailAddress:
    return say("邮箱地址应形如 name@example.com，且不含空格",
               "a mail address looks like name@example.com, without spaces");
  case PayloadProblem::InvalidUrl:
    return say("网址中不能有空格", "a web address holds no spaces");
  case PayloadProblem::LatitudeNotNumber:
    return say("纬度应是十进制数，例如 39.9087",
               "the latitude is no decimal number such as 39.9087");
  case PayloadProblem::LatitudeOutOfRange:
    return say("纬度应在 -90 到 90 之间", "the latitude is not between -90 and 90");
  case PayloadProblem::LongitudeNotNumber:
    return say("经度应是十进制数，例如 116.3975",
               "the longitude is no decimal number such as 116.3975");
  case PayloadProblem::LongitudeOutOfRange:
    return say("经度应在 -180 到 180 之间", "the longitude is not between -180 and 180");
  case PayloadProblem::EmptyEventTitle:
    return say("请填写活动标题", "the event has no title");
  case PayloadProblem::InvalidStart:
    return say("开始时间不是有效的日期和时间", "the start is no date and time of the calendar");
  case PayloadProblem::InvalidEnd:
    return say("结束时间不是有效的日期和时间", "the end is no date and time of the calendar");
  case PayloadProblem::EndBeforeStart:
    return say("结束时间早于开始时间", "the end is before the start");
  }
  return {};
}

} // namespace zub
