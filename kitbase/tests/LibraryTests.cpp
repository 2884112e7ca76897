#include "KitbaseTest.h"

#include "KitbaseApp.h"
#include "LibraryLoader.h"

#include <dlfcn.h>

using namespace kitbase::test;

namespace {

using LibraryTest = KitbaseTest;

struct Export {
    const char* name;
    FARPROC address;
};

FARPROC address_of(auto function)
{
    return reinterpret_cast<FARPROC>(function);
}

} // namespace

TEST_F(LibraryTest, LoadsByNameWithEveryExportUndecoratedAndItsDevicePath)
{
    const Export exports[] = {
        { "ANSI2WideChar", address_of(&ANSI2WideChar) },
        { "AllocMemory", address_of(&AllocMemory) },
        { "CE_clock", address_of(&CE_clock) },
        { "CreateRegProfileSection", address_of(&CreateRegProfileSection) },
        { "FreeMemory", address_of(&FreeMemory) },
        { "GetANSIIniFileInfo", address_of(&GetANSIIniFileInfo) },
        { "GetPrivateProfileInt", address_of(&GetPrivateProfileInt) },
        { "GetPrivateProfileString", address_of(&GetPrivateProfileString) },
        { "GetRegProfileInt", address_of(&GetRegProfileInt) },
        { "GetRegProfileString", address_of(&GetRegProfileString) },
        { "LoadIniFile2Reg", address_of(&LoadIniFile2Reg) },
        { "ReAllocMemory", address_of(&ReAllocMemory) },
        { "SetRegProfileKeyName", address_of(&SetRegProfileKeyName) },
        { "WideChar2ANSI", address_of(&WideChar2ANSI) },
        { "WritePrivateProfileString", address_of(&WritePrivateProfileString) },
        { "WriteRegProfileString", address_of(&WriteRegProfileString) },
        { "_wmakepath", address_of(&_wmakepath) },
        { "_wsplitpath", address_of(&_wsplitpath) },
    };
    HMODULE module = LoadLibrary(u"\\NAND\\App\\BT\\Kitbase.dll");
    ASSERT_NE(module, nullptr);
    for (auto& entry : exports)
        EXPECT_EQ(GetProcAddress(module, entry.name), entry.address) << entry.name;

    WCHAR path[MAX_PATH];
    ASSERT_GT(GetModuleFileName(module, path, MAX_PATH), 0u);
    EXPECT_EQ(std::u16string(path), u"\\NAND\\App\\BT\\Kitbase.dll");
    // The library's own idea of its module is the same one.
    EXPECT_EQ(CKitbaseApp::current().m_hInstance, module);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(LibraryNames, ThePlatformLayerDefinesNoneOfTheLibrarysNames)
{
    for (const char* library : { "libkivo_kernel.so", "libkivo_storage.so", "libkivo_registry.so", "libkivo_drivers.so", "libkivo_gdi.so" }) {
        auto path = kivo::LibraryLoader::library_folder() / library;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << library;
        for (const char* name : { "GetPrivateProfileString", "GetPrivateProfileInt", "WritePrivateProfileString", "_wsplitpath", "_wmakepath" })
            EXPECT_EQ(dlsym(handle, name), nullptr) << library << " " << name;
        dlclose(handle);
    }
}

TEST_F(LibraryTest, EachProcessHasItsOwnApplicationObject)
{
    auto root_seen = [](std::u16string& root) {
        root = CKitbaseApp::current().m_registryRoot;
    };
    std::u16string first;
    std::u16string second;
    run_in_process(u"\\NAND\\App\\one.exe", [&] {
        SetRegProfileKeyName(u"Software\\%s", u"One");
        root_seen(first);
    });
    run_in_process(u"\\NAND\\App\\two.exe", [&] { root_seen(second); });
    EXPECT_EQ(first, u"Software\\One");
    EXPECT_EQ(second, u"");
    EXPECT_EQ(std::u16string(CKitbaseApp::current().m_registryRoot), u"");
}
