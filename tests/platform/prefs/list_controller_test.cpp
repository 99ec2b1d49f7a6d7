#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/prefs/controller_registry.h"
#include "platform/prefs/list_controller.h"
#include "platform/ui/navigation_controller.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

using namespace sv;
using namespace sv::prefs;

namespace {

constexpr const char* kBundle = "/System/Library/PreferenceBundles/Test.bundle";

// A list screen of a bundle, filled from its list "Rows".
class RowsController final : public PSListController {
public:
    static std::shared_ptr<RowsController> make(ui::Size size)
    {
        std::shared_ptr<RowsController> self(new RowsController);
        if (!self->setUpForContentSize(size))
            return nullptr;
        self->setSpecifiers(self->loadSpecifiersFromPlistName("Rows", self.get()));
        return self;
    }
};

Value item(std::initializer_list<std::pair<const std::string, Value>> properties)
{
    return Dictionary(properties);
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerControllerClass("RowsController", [](ui::Size s) { return RowsController::make(s); }, kBundle);
        Array items {
            item({ { "cell", Value("PSGroupCell") }, { "label", Value("Group") } }),
            item({ { "cell", Value("PSSwitchCell") }, { "id", Value("Flag") }, { "label", Value("Flag") },
                   { "key", Value("flag") }, { "defaults", Value("com.test") }, { "default", Value(true) } }),
            item({ { "cell", Value("PSLinkCell") }, { "label", Value("More") }, { "detail", Value("RowsController") },
                   { "height", Value(60) } }),
            item({ { "cell", Value("PSSliderCell") } }),
            Value("not a row"),
        };
        fs::createDirectories(kBundle);
        ASSERT_TRUE(plist::writeFile(std::string(kBundle) + "/Rows.plist",
                                     Dictionary { { "title", Value("Test") }, { "items", items } }));
    }

    std::shared_ptr<RowsController> showList()
    {
        auto list = std::static_pointer_cast<RowsController>(createController("RowsController", { 320, 416 }));
        navigation = ui::UINavigationController::initWithRootViewController(list);
        return list;
    }

    test::DeviceRoot root;
    std::shared_ptr<ui::UINavigationController> navigation;
    const std::string preferences = "/var/mobile/Library/Preferences/com.test.plist";
};

TEST_F(ListTest, RowsComeFromTheBundlesListAndUnknownItemsAreSkipped)
{
    auto list = std::static_pointer_cast<RowsController>(createController("RowsController", { 320, 416 }));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->title(), "Test");
    ASSERT_EQ(list->specifiers().size(), 3u);
    EXPECT_EQ(list->specifiers()[1]->identifier(), "Flag");
    auto more = list->specifierForID("More"); // the label stands in for a missing id
    ASSERT_TRUE(more);
    EXPECT_EQ(more->cellType(), PSCellType::Link);
    EXPECT_EQ(more->height(), 60);
    EXPECT_EQ(more->target(), list);
    EXPECT_EQ(list->bundlePath(), kBundle);
}

TEST_F(ListTest, CellsAreMadeWhenTheListIsLaidOut)
{
    auto list = std::static_pointer_cast<RowsController>(createController("RowsController", { 320, 416 }));
    EXPECT_FALSE(list->cachedCellForSpecifierID("Flag"));
    navigation = ui::UINavigationController::initWithRootViewController(list);
    auto flag = list->cachedCellForSpecifierID("Flag");
    auto more = list->cachedCellForSpecifierID("More");
    ASSERT_TRUE(flag && more);
    ASSERT_TRUE(flag->control());
    EXPECT_EQ(flag->control()->superview(), flag.get()); // a direct subview
    EXPECT_TRUE(flag->control()->isOn());                // the row's default
    EXPECT_EQ(more->frame().height(), 60);
    EXPECT_GT(more->frame().y(), flag->frame().maxY() - 1);
    EXPECT_EQ(more->accessoryType(), ui::UITableViewCellAccessoryType::DisclosureIndicator);
}

TEST_F(ListTest, SwitchSavesItsKeyBesideTheOthers)
{
    ASSERT_TRUE(plist::writeFile(preferences, Dictionary { { "other", Value(3) } }));
    auto list = showList();
    auto control = list->cachedCellForSpecifierID("Flag")->control();
    ui::UITouch tap(control->convertPointToView({ 2, 2 }, nullptr));
    control->touchesBegan(tap, nullptr);
    control->touchesEnded(tap, nullptr);
    EXPECT_EQ(plist::readDictionary(preferences), (Dictionary { { "other", Value(3) }, { "flag", Value(false) } }));
}

TEST_F(ListTest, SwitchShowsTheStoredValueAndNeverWritesOverAnUnreadableFile)
{
    ASSERT_TRUE(plist::writeFile(preferences, Dictionary { { "flag", Value(false) } }));
    auto list = showList();
    auto control = list->cachedCellForSpecifierID("Flag")->control();
    EXPECT_FALSE(control->isOn());
    test::writeHostFile(root.host(preferences), "garbage");
    EXPECT_FALSE(list->setPreferenceValue(Value(true), *list->specifierForID("Flag")));
    EXPECT_EQ(test::readHostFile(root.host(preferences)), "garbage");
}

TEST_F(ListTest, LinkRowsOpenTheirControllerByClassName)
{
    auto list = showList();
    EXPECT_TRUE(list->selectSpecifier(list->specifierForID("More")));
    ASSERT_EQ(navigation->viewControllers().size(), 2u);
    auto opened = std::dynamic_pointer_cast<PSViewController>(navigation->topViewController());
    EXPECT_EQ(opened->specifier(), list->specifierForID("More"));

    list->specifierForID("More")->setProperty("detail", Value("NoSuchController"));
    EXPECT_FALSE(list->selectSpecifier(list->specifierForID("More")));
    EXPECT_FALSE(list->selectSpecifier(list->specifierForID("Flag")));
    EXPECT_FALSE(createController("NoSuchController", { 320, 416 }));
    EXPECT_FALSE(createController("RowsController", { -1, 416 }));
}

TEST_F(ListTest, BundlesWithoutAnUsableInfoListDoNotLoad)
{
    EXPECT_FALSE(loadBundle("/System/Library/PreferenceBundles/Missing.bundle"));
    fs::createDirectories("/Evil.bundle");
    ASSERT_TRUE(plist::writeFile("/Evil.bundle/Info.plist", Dictionary { { "CFBundleExecutable", Value("../x.so") } }));
    EXPECT_FALSE(loadBundle("/Evil.bundle"));
}

} // namespace
