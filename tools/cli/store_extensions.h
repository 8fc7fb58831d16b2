// --store-ext LIST: the name endings whose files are stored without trying
// to compress them.  An item is an extension with or without its dot ("zip",
// ".zip") and may span dots ("tar.gz"); case is ignored.
#pragma once

#include <string>
#include <vector>

// Already-compressed formats gain nothing from another pass; they are stored
// without trying unless --store-ext says otherwise.
extern const char* const kDefaultStoreExtensions;

// Applies one --store-ext value to `extensions`: "+LIST" adds, "" empties,
// any other LIST replaces.  Items are separated by commas; spaces around an
// item are dropped.  Throws UsageFailure for an item that is no extension
// (a glob such as "*.dll", an empty item, a path).
void ApplyStoreExtensions(const std::string& value, std::vector<std::string>* extensions);

// The default list, as ApplyStoreExtensions reads it.
std::vector<std::string> DefaultStoreExtensions();

// True when the entry name ('\' between folders) ends in "." and one of the
// extensions.
bool EndsInExtension(const std::string& name, const std::vector<std::string>& extensions);
