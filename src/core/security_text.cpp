#include "core/security_text.h"

#include <array>
#include <cctype>
#include <utility>

#include "core/hex_text.h"

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kWellKnownSids = {{
    {"S-1-5-32-544", "BA"},
    {"S-1-5-18", "SY"},
    {"S-1-5-32-545", "BU"},
    {"S-1-5-11", "AU"},
    {"S-1-1-0", "WD"},
    {"S-1-3-0", "CO"},
    {"S-1-5-4", "IU"},
    {"S-1-5-19", "LS"},
    {"S-1-5-20", "NS"},
}};

constexpr std::array<std::pair<std::string_view, std::uint32_t>, 12> kRightNames = {{
    {"GA", access_rights::kFileAll},
    {"GR", 0x120089},
    {"GW", 0x120116},
    {"GX", 0x1200A0},
    {"FA", access_rights::kFileAll},
    {"FR", 0x120089},
    {"FW", 0x120116},
    {"FX", 0x1200A0},
    {"SD", access_rights::kDelete},
    {"RC", access_rights::kReadControl},
    {"WD", access_rights::kWriteDac},
    {"WO", access_rights::kWriteOwner},
}};

constexpr std::array<std::pair<std::string_view, Inheritance>, 5> kInheritanceNames = {{
    {"OI", Inheritance::objects},
    {"CI", Inheritance::containers},
    {"NP", Inheritance::noPropagate},
    {"IO", Inheritance::inheritOnly},
    {"ID", Inheritance::inherited},
}};

bool IsSidText(std::string_view text) {
  if (text.starts_with("S-")) {
    return text.find_first_not_of("S-0123456789") == std::string_view::npos;
  }
  return text.size() == 2 && std::isupper(static_cast<unsigned char>(text[0])) != 0 &&
         std::isupper(static_cast<unsigned char>(text[1])) != 0;
}

std::optional<std::uint32_t> RightsOf(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) {
    if (text.size() <= 2 || text.size() > 10) {
      return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text.substr(2)) {
      const int digit = HexDigitValue(c);
      if (digit < 0) {
        return std::nullopt;
      }
      value = (value << 4U) | static_cast<std::uint32_t>(digit);
    }
    return value;
  }
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::uint32_t rights = 0;
  for (std::size_t at = 0; at < text.size(); at += 2) {
    bool known = false;
    for (const auto& [name, value] : kRightNames) {
      if (text.substr(at, 2) == name) {
        rights |= value;
        known = true;
      }
    }
    if (!known) {
      return std::nullopt;
    }
  }
  return rights;
}

std::optional<AccessEntry> EntryOf(std::string_view text) {
  // type;flags;rights;object;inherited object;sid
  std::array<std::string_view, 6> fields{};
  std::size_t field = 0;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == ';') {
      if (field == fields.size()) {
        return std::nullopt;
      }
      fields.at(field++) = text.substr(start, at - start);
      start = at + 1;
    }
  }
  if (field != fields.size() || (fields[0] != "A" && fields[0] != "D") || fields[5].empty() ||
      !IsSidText(fields[5])) {
    return std::nullopt;
  }
  AccessEntry entry;
  entry.allowed = fields[0] == "A";
  for (std::size_t at = 0; at < fields[1].size(); at += 2) {
    bool known = false;
    for (const auto& [name, flag] : kInheritanceNames) {
      if (fields[1].substr(at, 2) == name) {
        entry.inheritance = entry.inheritance | flag;
        known = true;
      }
    }
    if (!known) {
      return std::nullopt;
    }
  }
  const std::optional<std::uint32_t> rights = RightsOf(fields[2]);
  if (!rights) {
    return std::nullopt;
  }
  entry.rights = *rights;
  entry.sid = CanonicalSid(fields[5]);
  return entry;
}

std::string RightsText(std::uint32_t rights) {
  if (rights == access_rights::kFileAll) {
    return "FA";
  }
  std::array<char, 11> text{'0', 'x'};
  std::size_t length = 2;
  bool leading = true;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const std::uint32_t digit = (rights >> static_cast<unsigned>(shift)) & 0xFU;
    if (digit != 0 || !leading || shift == 0) {
      text.at(length++) = "0123456789abcdef"[digit];
      leading = false;
    }
  }
  return std::string(text.data(), length);
}

}  // namespace

std::string CanonicalSid(std::string_view sid) {
  for (const auto& [full, name] : kWellKnownSids) {
    if (sid == full) {
      return std::string(name);
    }
  }
  return std::string(sid);
}

std::optional<SecurityText> ParseSecurityText(std::string_view sddl) {
  SecurityText security;
  std::size_t at = 0;
  while (at < sddl.size()) {
    if (at + 1 >= sddl.size() || sddl[at + 1] != ':') {
      return std::nullopt;
    }
    const char part = sddl[at];
    at += 2;
    // A part runs to the next "X:" outside an entry.
    std::size_t end = at;
    int depth = 0;
    while (end < sddl.size()) {
      if (depth == 0 && end + 1 < sddl.size() && sddl[end + 1] == ':' &&
          std::string_view("OGDS").find(sddl[end]) != std::string_view::npos) {
        break;
      }
      depth += sddl[end] == '(' ? 1 : (sddl[end] == ')' ? -1 : 0);
      ++end;
    }
    const std::string_view text = sddl.substr(at, end - at);
    at = end;
    if (part == 'O') {
      if (!IsSidText(text)) {
        return std::nullopt;
      }
      security.owner = CanonicalSid(text);
    } else if (part == 'D') {
      std::size_t open = text.find('(');
      const std::string_view flags = text.substr(0, open);
      security.protectedDacl = flags.find('P') != std::string_view::npos;
      while (open != std::string_view::npos) {
        const std::size_t close = text.find(')', open);
        if (close == std::string_view::npos) {
          return std::nullopt;
        }
        const std::optional<AccessEntry> entry = EntryOf(text.substr(open + 1, close - open - 1));
        if (!entry) {
          return std::nullopt;
        }
        security.entries.push_back(*entry);
        open = text.find('(', close);
      }
    } else if (part != 'G' && part != 'S') {
      return std::nullopt;
    }
  }
  return security;
}

std::string SecurityTextOf(const SecurityText& security) {
  std::string text;
  if (!security.owner.empty()) {
    text += "O:" + security.owner;
  }
  text += "D:";
  if (security.protectedDacl) {
    text += "P";
  }
  for (const AccessEntry& entry : security.entries) {
    text += entry.allowed ? "(A;" : "(D;";
    for (const auto& [name, flag] : kInheritanceNames) {
      if (HasInheritance(entry.inheritance, flag)) {
        text += name;
      }
    }
    text += ';';
    text += RightsText(entry.rights);
    text += ";;;";
    text += entry.sid;
    text += ')';
  }
  return text;
}
