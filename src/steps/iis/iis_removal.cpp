#include "steps/iis/iis_element_copy.h"
#include "steps/iis/iis_website.h"

bool IisWebsite::RemoveWhere(IisElementCollection* collection, std::u16string_view property,
                             std::string_view value) {
  if (collection == nullptr) {
    return false;
  }
  const std::u16string wanted = Wide(value);
  const std::uint32_t count = CountOf(*collection);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> element = Item(*collection, i);
    if (element && Text(*element, property) == wanted) {
      return collection->DeleteElement(i) == 0;
    }
  }
  return false;
}

bool IisWebsite::RemoveSite(std::string_view name, bool keepLocation) {
  if (!RemoveWhere(siteCollection_.get(), u"name", name)) {
    return false;
  }
  // The handlers, default document and request limits set at the site's path live in a <location> of the
  // site's name: it goes with the site. A site without one has nothing there (ERROR_INVALID_INDEX).
  if (!keepLocation) {
    adminManager_->DeleteLocation(kApphostPath, Wide(name));
  }
  return true;
}

bool IisWebsite::RestoreSite(std::string_view kept) {
  const std::optional<IisElementCopy> copy = ParseElementCopyText(kept);
  return siteCollection_ && copy && copy->name == u"site" && AddElementCopy(*siteCollection_, *copy);
}

bool IisWebsite::RemoveAppPool(std::string_view name) {
  return RemoveWhere(poolCollection_.get(), u"name", name);
}

bool IisWebsite::RemoveCgiRestriction(std::string_view path) {
  return RemoveWhere(restrictionCollection_.get(), u"path", path);
}

bool IisWebsite::RestoreBinding(std::string_view site, std::string_view moved, std::string_view original) {
  const std::uint32_t count = siteCollection_ ? CountOf(*siteCollection_) : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> element = Item(*siteCollection_, i);
    if (!element || SiteName(*element) != site) {
      continue;
    }
    const auto bindings = Bindings(*element);
    const std::uint32_t bindingCount = bindings ? CountOf(*bindings) : 0;
    for (std::uint32_t j = 0; j < bindingCount; ++j) {
      const std::unique_ptr<IisElement> binding = Item(*bindings, j);
      if (binding && Text(*binding, u"bindingInformation") == Wide(moved)) {
        std::unique_ptr<IisProperty> property;
        return binding->PropertyByName(u"bindingInformation", property) == 0 && property &&
               property->PutText(Wide(original)) == 0;
      }
    }
  }
  return false;
}
