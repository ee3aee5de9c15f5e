#include "platform/linux/autostart.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace quorvane {

namespace {

// Characters that force quoting of an Exec argument.
bool IsReserved(char c) {
  static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  return kReserved.find(c) != std::string_view::npos;
}

}  // namespace

std::string DesktopExecArgument(std::string_view executablePath) {
  bool quote = false;
  for (char c : executablePath) quote = quote || IsReserved(c);
  std::string out;
  if (quote) out += '"';
  for (char c : executablePath) {
    switch (c) {
      // Inside quotes these four take a backslash; the key file's own string escaping
      // then doubles that backslash, so GLib and others read the argument back intact.
      case '"':
      case '`':
      case '$':
        out += "\\\\";
        out += c;
        break;
      case '\\':
        out += "\\\\\\\\";
        break;
      case '%':
        out += "%%";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  if (quote) out += '"';
  return out;
}

std::string AutostartProgramPath(const std::string& executablePath,
                                 const std::filesystem::path& launcher) {
  std::error_code ec;
  if (!executablePath.empty() && std::filesystem::equivalent(launcher, executablePath, ec)) {
    return launcher.string();
  }
  return executablePath;
}

std::string AutostartEntryText(std::string_view executablePath) {
  std::string text = "[Desktop Entry]\nType=Application\nName=Quorvane\nExec=";
  text += DesktopExecArgument(executablePath);
  text += "\nTerminal=false\n";
  return text;
}

std::filesystem::path AutostartDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::filesystem::path(config) / "autostart";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    return std::filesystem::path(home) / ".config" / "autostart";
  }
  return {};
}

bool WriteAutostartEntry(const std::filesystem::path& directory, std::string_view executablePath) {
  if (directory.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(directory, ec);
  if (ec) return false;
  const std::filesystem::path file = directory / kAutostartFileName;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const std::string text = AutostartEntryText(executablePath);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

bool RemoveAutostartEntry(const std::filesystem::path& directory) {
  if (directory.empty()) return false;
  std::error_code ec;
  std::filesystem::remove(directory / kAutostartFileName, ec);
  return !ec;
}

}  // namespace quorvane
