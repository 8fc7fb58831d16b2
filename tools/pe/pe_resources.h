// Finds resources inside a PE image by walking its resource directory,
// without changing anything: the stub's locator (type "VAL", id 133, any
// language), so the producer can patch the archive offset into it and the
// host tools can read it back, and the application manifest, for list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ResourceLocation {
  uint32_t fileOffset;  // where the resource's bytes are in the file
  uint32_t size;
};

// Answers true with the locator's place; false with a one-line reason (not a
// PE image, no resource directory, no locator resource, a damaged directory).
// Only the first `size` bytes of the file are needed: the stub part.
bool FindLocatorResource(const uint8_t* image, size_t size, ResourceLocation* location,
                         std::string* error);

// The application manifest (type 24, id 1, any language), the same way.
constexpr uint32_t kManifestResourceType = 24;
constexpr uint32_t kManifestResourceId = 1;
bool FindManifestResource(const uint8_t* image, size_t size, ResourceLocation* location, std::string* error);
