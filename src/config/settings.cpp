#include "config/settings.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/command.h"
#include "platform/console.h"
#include "platform/files.h"

std::string COM_PATH;
std::string CON_PATH;
std::string COM_SETTINGS;

namespace {

const std::string SETTINGS = "velder_data.sg";

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
  platform::system("title Velder");
  if (!Is_Regular_File(SETTINGS)) return;
  // Only the three lines used are read, however long the file.
  std::string content;
  platform::Head h = platform::Read_Head(SETTINGS, 3, content);
  if (h == platform::Head::read) Load_Settings(content);
  // Its compiler path would run as this user: a file someone else put
  // here is not taken. The save at the exit still writes this user's own.
  if (h == platform::Head::foreign)
    std::cerr << "velder: 设置文件 " << SETTINGS << " 属于其他用户，为安全起见未载入，设置为空。\n";
}

void Save_Settings() {
  if (platform::Replace_File(SETTINGS, Format_Settings(COM_PATH, CON_PATH, COM_SETTINGS)))
    platform::Hide_File(SETTINGS);
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
  if (!platform::Replace_File(staged, Format_Settings(com_path, con_path, com_settings)))
    return First_Save::failed;
  if (platform::Move_New(staged, name)) {
    platform::Hide_File(name);
    return First_Save::written;
  }
  platform::Remove_File(staged);
  return Settings_Present(folder) ? First_Save::present : First_Save::failed;
}

