// The execution level is read and set in the manifest's one level attribute,
// wherever the element stands and however it is written, and nothing else in
// the manifest changes.
#include "tools/pe/manifest_level.h"

#include <gtest/gtest.h>

TEST(ManifestLevel, ReadsAndSetsTheLevelAttributeOnly) {
  const std::string manifest =
      "<?xml version=\"1.0\"?>\n<!-- <requestedExecutionLevel level=\"commented\"/> -->\n"
      "<asmv3:requestedExecutionLevel uiAccess='false' level = 'asInvoker'/>\n<requestedExecutionLevelX level=\"x\"/>";
  EXPECT_EQ(ReadExecutionLevel(manifest), "asInvoker");
  std::string changed, error;
  ASSERT_TRUE(SetExecutionLevel(manifest, "requireAdministrator", &changed, &error)) << error;
  std::string expected = manifest;
  expected.replace(expected.find("asInvoker"), 9, "requireAdministrator");
  EXPECT_EQ(changed, expected);
}

TEST(ManifestLevel, WithoutALevelThereIsNothingToSet) {
  for (const std::string manifest : {"<requestedExecutionLevel uiAccess=\"false\"/>", "<assembly/>",
                                     "<requestedExecutionLevel level=\"asInvoker", "<!-- unclosed"}) {
    EXPECT_EQ(ReadExecutionLevel(manifest), "") << manifest;
    std::string changed, error;
    EXPECT_FALSE(SetExecutionLevel(manifest, "asInvoker", &changed, &error)) << manifest;
    EXPECT_NE(error.find("no requestedExecutionLevel"), std::string::npos);
  }
}

TEST(ManifestLevel, OptionValuesTakeTheirOwnSpelling) {
  EXPECT_EQ(CanonicalExecutionLevel("REQUIREADMINISTRATOR"), "requireAdministrator");
  EXPECT_EQ(CanonicalExecutionLevel("highestavailable"), "highestAvailable");
  EXPECT_EQ(CanonicalExecutionLevel("admin"), "");
}
