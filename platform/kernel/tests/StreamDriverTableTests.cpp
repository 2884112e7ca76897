#include "TestDevice.h"

#include "KernelApi.h"
#include "StreamDriverTable.h"
#include "SyncObjects.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

TEST(StreamDriverTable, DriverNamesAndOpening)
{
    struct Case {
        std::u16string_view name;
        bool driver;
    } cases[] = {
        { u"BKL1:", true },
        { u"bat2:", true },
        { u"\\DSK1:", true },
        { u"BTD0", false },
        { u"BK1:", false },
        { u"\\NAND\\a:", false },
        { u"BKLX:", false },
    };
    for (auto& c : cases)
        EXPECT_EQ(StreamDriverTable::is_driver_name(c.name), c.driver) << std::string(c.name.begin(), c.name.end());

    auto device = make_test_device();
    auto& table = device->component<StreamDriverTable>();
    int opens = 0;
    table.add(u"BKL1:", [&](DWORD&) {
        ++opens;
        return std::make_shared<Event>(true, false);
    });
    table.add(u"BAT2:", [](DWORD& error) -> std::shared_ptr<KernelObject> {
        error = ERROR_DEVICE_NOT_AVAILABLE;
        return nullptr;
    });
    DWORD error = 0;
    EXPECT_TRUE(table.open(u"bkl1:", error));
    EXPECT_EQ(opens, 1);
    EXPECT_FALSE(table.open(u"BAT2:", error));
    EXPECT_EQ(error, ERROR_DEVICE_NOT_AVAILABLE);
    EXPECT_FALSE(table.open(u"DSK1:", error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
}
