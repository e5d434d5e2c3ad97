#include "config/settings.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/requests.h"
#include "platform/console.h"
#include "platform/files.h"

std::string COM_PATH;
std::string CON_PATH;
std::string COM_SETTINGS;
const std::string SETTINGS = "velder_data.sg";

namespace {

// The settings as the messages name them, in the file's order.
const char* const NAMES[3] = {"编译器路径", "ConsolePauser 路径", "编译选项"};

// Init found a file it could not read.
bool unread = false;

// Takes the next line of content from pos on, as the reader of a text
// file does: up to the LF, a CR before it dropped. False at the end.
bool Next_Line(const std::string& content, std::size_t& pos, std::string& line) {
  if (pos >= content.size()) return false;
  std::size_t lf = content.find('\n', pos);
  std::size_t end = lf == std::string::npos ? content.size() : lf;
  line.assign(content, pos, end - pos);
  if (lf != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
  pos = lf == std::string::npos ? content.size() : lf + 1;
  return true;
}

bool Is_Regular_File(std::string name) {
  std::filesystem::path p;
  if (!platform::Native_Path(name, p)) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::status(p, ec));
}

}  // namespace

std::string Format_Settings(std::string com_path, std::string con_path, std::string com_settings) {
  // CR LF on every platform, so that one file reads the same everywhere.
  return com_path + "\r\n" + con_path + "\r\n" + com_settings;
}

void Load_Settings(std::string content) {
  std::size_t pos = 0;
  std::string* targets[] = {&COM_PATH, &CON_PATH, &COM_SETTINGS};
  for (std::string* t : targets) {
    std::string line;
    if (!Next_Line(content, pos, line)) return;
    *t = line;
  }
}

void Init() {
  platform::Init_Console();
  platform::Set_Title("Velder");
  unread = false;
  if (!Is_Regular_File(SETTINGS)) return;
  // Only the three lines used are read, however long the file.
  platform::Head h = platform::Read_Head(SETTINGS, 3, SETTING_MAX);
  if (h.kind == platform::Head::read) Load_Settings(h.content);
  for (std::size_t i : h.dropped)
    std::cerr << "velder: 设置文件 " << SETTINGS << " 的第 " << i + 1 << " 行长于 " << SETTING_MAX
              << " 字节，未载入，" << NAMES[i] << "为空。\n";
  // Its compiler path would run as this user: a file someone else put
  // here is not taken, and the save does not write over it either.
  if (h.kind == platform::Head::foreign)
    std::cerr << "velder: 设置文件 " << SETTINGS << " 属于其他用户，为安全起见未载入，设置为空。\n";
  // Settings nobody has seen must not be lost to empty ones at the save.
  if (h.kind == platform::Head::unreadable) {
    unread = true;
    std::cerr << "velder: 无法读取设置文件 " << SETTINGS << "（" << h.why
              << "），设置为空；为免丢失其中的设置，退出时不会覆盖它。\n";
  }
}

std::string Save_Settings() {
  std::string why = "设置文件 " + SETTINGS + " 未能保存：";
  if (unread) return why + "启动时无法读取它，为免丢失其中的设置，没有覆盖。";
  // What the next start would not load is not written: the file holds
  // only what it gives back.
  std::string v[3] = {COM_PATH, CON_PATH, COM_SETTINGS};
  std::string left_out;
  for (int i = 0; i < 3; ++i) {
    if (v[i].size() <= SETTING_MAX) continue;
    v[i].clear();
    left_out += std::string(left_out.empty() ? "" : "、") + NAMES[i];
  }
  std::string failed;
  if (!platform::Replace_File(SETTINGS, Format_Settings(v[0], v[1], v[2]), failed))
    return why + failed + "。";
  platform::Hide_File(SETTINGS);
  if (left_out.empty()) return "";
  return left_out + "长于 " + std::to_string(SETTING_MAX) +
         " 字节，下次启动时无法载入，因此没有保存；其余设置已保存。";
}

bool Settings_Present(std::string folder) {
  return platform::Anything_At(folder + platform::Separator() + SETTINGS);
}

First_Save Save_First_Settings(std::string folder, std::string com_path, std::string con_path,
                               std::string com_settings) {
  if (Settings_Present(folder)) return First_Save::present;
  // Written whole beside it first, then given the name only if the name
  // is still free: a check and a plain write could replace a file saved
  // in between.
  std::string name = folder + platform::Separator() + SETTINGS;
  std::string staged = name + ".new";
  std::string why;
  if (!platform::Replace_File(staged, Format_Settings(com_path, con_path, com_settings), why))
    return First_Save::failed;
  if (platform::Move_New(staged, name)) {
    platform::Hide_File(name);
    return First_Save::written;
  }
  platform::Remove_File(staged);
  return Settings_Present(folder) ? First_Save::present : First_Save::failed;
}

