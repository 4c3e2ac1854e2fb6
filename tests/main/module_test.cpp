#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "host/files/bitmaps.h"
#include "host/scene/execution.h"
#include "host/scene/modules.h"
#include "host/scene/registry.h"

namespace {

constexpr Int32 kPlotType = 1055349;

void* MessageId(Int32 id) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(id));
}

// The built module opened by hand, so each test drives c4d_main itself.
class ModuleEntry : public ::testing::Test {
protected:
  void SetUp() override {
    String error;
    main = OpenModuleFile(Filename(VANTELLE_MODULE_FILE), &handle, &error);
    ASSERT_NE(main, nullptr) << error.GetStd();
    info.file = Filename(VANTELLE_MODULE_FILE);
    info.folder = info.file.GetDirectory();
    AddModuleResourceFolder(info.folder + Filename("res"));
  }
  void TearDown() override {
    FreeObjectPlugins();
    ForgetModuleResourceFolders();
    CloseModuleFile(handle);
  }
  Int32 Call(Int32 action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr) {
    return main(action, p1, p2, p3);
  }

  void* handle = nullptr;
  C4DMainFunction main = nullptr;
  HostTables tables;
  ModuleInfo info;
};

TEST_F(ModuleEntry, AnswersEachActionAsTheHostExpects) {
  EXPECT_EQ(Call(C4DPL_INIT_VERSION), 5);
  EXPECT_EQ(Call(5), -1);
  EXPECT_EQ(Call(0), -1);
  EXPECT_EQ(Call(123456), -1);

  HostTables old;
  old.apiVersion = 2025999;
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &old, nullptr, &info), -3);
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &tables, nullptr, nullptr), -3) << "no module information";
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &tables, nullptr, &info), 1);
  // A repeat is counted but checks nothing again.
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &old, nullptr, nullptr), 1);

  EXPECT_EQ(Call(C4DPL_MESSAGE, MessageId(C4DMSG_INIT_RESOURCES)), -1) << "messages always answer -1";
  EXPECT_EQ(Call(C4DPL_MESSAGE, MessageId(77)), -1);
  EXPECT_EQ(Call(C4DPL_INIT), 1);

  // Two starts need two ends; the first end releases nothing, so a further start is still
  // a repeat and checks nothing.
  EXPECT_EQ(Call(C4DPL_END), 1);
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &old, nullptr, &info), 1);
  EXPECT_EQ(Call(C4DPL_END), 1);
  EXPECT_EQ(Call(C4DPL_END), 1);
  // Now the count is back at zero: a start checks the version again.
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &old, nullptr, &info), -3);
  EXPECT_EQ(Call(C4DPL_END), 1) << "an end without a start is harmless";
}

TEST_F(ModuleEntry, RegistersEveryTypeWithItsNameFlagsDescriptionAndIcon) {
  ASSERT_EQ(Call(C4DPL_INIT_SYS, &tables, nullptr, &info), 1);
  Call(C4DPL_MESSAGE, MessageId(C4DMSG_INIT_RESOURCES));
  ASSERT_EQ(Call(C4DPL_INIT), 1);

  struct Row {
    Int32 type;
    const char* name;
    const char* description;
    Int32 flags;
    Int32 iconSlot;
  };
  const Row rows[] = {
      {kPlotType, "Vantelle Plot", "osurfo", 0x8104, 0},
      {1055457, "Plot Mesh", "osurfomesh", 0x10008504, 1},
      {1055458, "Plot Grid", "osurfogrid", 0x10008084, 2},
      {1055484, "Plot Cage", "osurfocage", 0x10008084, 3},
      {1055514, "Plot Labels", "osurfolabel", 0x10008004, 4},
  };
  // Registered in table order: plot, mesh, grid, cage, labels.
  const std::vector<const ObjectPlugin*> types = GetObjectPlugins();
  ASSERT_EQ(types.size(), std::size(rows));
  for (std::size_t t = 0; t < types.size(); ++t) {
    EXPECT_EQ(types[t]->id, rows[t].type) << t;
  }
  BaseBitmap* strip = BaseBitmap::Alloc();
  ASSERT_EQ(strip->Init(info.folder + Filename("res/Surfo.tif")), IMAGERESULT::OK);
  EXPECT_EQ(strip->GetBw(), 320);
  for (const Row& row : rows) {
    const ObjectPlugin* plugin = FindObjectPlugin(row.type);
    ASSERT_NE(plugin, nullptr) << row.type;
    EXPECT_EQ(plugin->name.GetStd(), row.name);
    EXPECT_EQ(plugin->info, row.flags) << row.name;
    EXPECT_EQ(plugin->diskLevel, 0);
    EXPECT_TRUE(plugin->callsGetVirtualObjects);
    EXPECT_EQ(plugin->callsGetContour, (row.flags & 0x80) != 0) << row.name;
    ASSERT_NE(FindDescriptionResource(row.type), nullptr) << row.name;
    EXPECT_EQ(FindDescriptionResource(row.type)->resourceName.GetStd(), row.description);

    // The icon is the type's 64 x 64 square of the strip, left to right.
    ASSERT_NE(plugin->icon, nullptr) << row.name;
    ASSERT_EQ(plugin->icon->GetBw(), 64);
    ASSERT_EQ(plugin->icon->GetBh(), 64);
    for (Int32 y = 0; y < 64; y += 7) {
      for (Int32 x = 0; x < 64; x += 5) {
        UChar a[4], b[4];
        strip->GetPixel(64 * row.iconSlot + x, y, &a[0], &a[1], &a[2], &a[3]);
        plugin->icon->GetPixel(x, y, &b[0], &b[1], &b[2], &b[3]);
        ASSERT_EQ(std::memcmp(a, b, 4), 0) << row.name << " " << x << "," << y;
      }
    }
  }
  BaseBitmap::Free(strip);
  EXPECT_EQ(Call(C4DPL_END), 1);
}

TEST_F(ModuleEntry, WithoutResourcesTheTypesRegisterNamelessAndWithoutIcons) {
  ModuleInfo elsewhere;
  elsewhere.folder = Filename(std::filesystem::temp_directory_path());
  ASSERT_EQ(Call(C4DPL_INIT_SYS, &tables, nullptr, &elsewhere), 1);
  Call(C4DPL_MESSAGE, MessageId(C4DMSG_INIT_RESOURCES));
  ASSERT_EQ(Call(C4DPL_INIT), 1);
  const ObjectPlugin* plot = FindObjectPlugin(kPlotType);
  ASSERT_NE(plot, nullptr) << "the description still comes from the folder the host knows";
  EXPECT_TRUE(plot->name.IsEmpty());
  EXPECT_EQ(plot->icon, nullptr);
  EXPECT_EQ(Call(C4DPL_END), 1);
}

TEST(ModuleHost, LoadsThePluginFolderAndThePlotEvaluates) {
  const Filename plugins = Filename(VANTELLE_MODULE_FILE).GetDirectory().GetDirectory();
  ModuleHost host;
  std::vector<String> errors;
  ASSERT_EQ(host.LoadFolder(plugins, &errors), 1);
  EXPECT_TRUE(errors.empty());

  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* plot = BaseObject::Alloc(kPlotType);
  ASSERT_NE(plot, nullptr);
  doc->InsertObject(plot, nullptr, nullptr);
  ExecutePasses(doc);
  BaseContainer state;
  plot->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetInt64(STATE_SAMPLE_COUNT), 2601);
  BaseDocument::Free(doc);
  host.UnloadAll();
  EXPECT_EQ(FindObjectPlugin(kPlotType), nullptr);
}

TEST(ModuleHost, ReportsFilesThatAreNotModulesAndMissingFolders) {
  const auto folder = std::filesystem::temp_directory_path() / "vantelle_module_host_test";
  std::filesystem::create_directories(folder / "Broken");
  std::ofstream(folder / "Broken" / (std::string("Broken") + MODULE_EXTENSION)) << "not a library";
  ModuleHost host;
  std::vector<String> errors;
  EXPECT_EQ(host.LoadFolder(Filename(folder), &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].GetStd().find("cannot load"), std::string::npos);

  errors.clear();
  EXPECT_EQ(host.LoadFolder(Filename(folder / "missing"), &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  std::filesystem::remove_all(folder);
}

}  // namespace
