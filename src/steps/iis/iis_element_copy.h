#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/iis.h"

// An element of the IIS configuration as it stood: its tag, the properties it set itself, its child
// elements that set something, and the entries of its collection, all the way down. What a run deletes
// to make again (a site of the same name) is kept so, until its component is committed.
struct IisElementCopy {
  std::u16string name;
  std::vector<std::pair<std::u16string, IisValue>> properties;
  std::vector<IisElementCopy> children;
  std::vector<IisElementCopy> items;
  // The properties the element set that IIS keeps encrypted (passwords): never copied, so that no secret
  // lands in clear where the copy is kept; the element made again is without them.
  std::vector<std::u16string> withheld;
  bool operator==(const IisElementCopy&) const = default;
};

// Reads an element whole; nullopt when its name, a child element or an entry cannot be read.
std::optional<IisElementCopy> CopyElement(IisElement& element);
// Makes the copy again as a new entry of the collection; false when a part of it could not be made or
// set (the rest is made all the same).
bool AddElementCopy(IisElementCollection& collection, const IisElementCopy& copy);

// What a copy made again lacks: each withheld property, as "TAG NAME" (with the element's path, where it has
// one: "virtualDirectory / password"), all the way down.
std::vector<std::u16string> WithheldSecrets(const IisElementCopy& copy);

// The copy as one field of the install record, in tokens joined by commas: "e" and the tag of an element
// or entry, "c" and the tag of a child element, "p" and a property's name, "=" and its value
// (IisValueText), "w" and the name of a withheld property, "." where an element ends; tags and names as the
// hex digits of their UTF-16 code units.
std::string ElementCopyText(const IisElementCopy& copy);
// The copy of such a text; nullopt for anything else (a record is data from the disk).
std::optional<IisElementCopy> ParseElementCopyText(std::string_view text);
