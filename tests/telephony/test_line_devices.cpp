// Line devices by name, the line device list of the settings dialog, and
// the sound device number of a stored name.
#include <gtest/gtest.h>

#include <QComboBox>

#include "audio/sonvel_host.h"
#include "audio/wave.h"
#include "settings/global_options.h"
#include "telephony/line_devices.h"
#include "tests/telephony/telephony_test_support.h"
#include "ui/common_widgets.h"

namespace orvane {
namespace {

using testing::ScriptedLineBackend;

class LineDevicesTest : public testing::TelephonyTest {
  protected:
    LineDevicesTest() {
        LineDetails tapiOnly = ScriptedLineBackend::Device(QStringLiteral("Tapi only"));
        tapiOnly.audioCapability = false;
        LineDetails audioOnly = ScriptedLineBackend::Device(QStringLiteral("Audio only"));
        audioOnly.tapiCapability = false;
        backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Twin")), tapiOnly,
                             ScriptedLineBackend::Device(QStringLiteral("Twin")), audioOnly};
    }
    static QStringList Items(const QComboBox& box) {
        QStringList items;
        for (int i = 0; i < box.count(); ++i) {
            items << box.itemText(i);
        }
        return items;
    }
};

TEST_F(LineDevicesTest, FindLineDeviceTakesTheFirstExactMatchAndKeepsTheSelection) {
    tapi_->SetLineIndex(3);
    EXPECT_EQ(FindLineDevice(*tapi_, QStringLiteral("Twin")), 0);
    EXPECT_EQ(FindLineDevice(*tapi_, QStringLiteral("Audio only")), 3);
    EXPECT_EQ(FindLineDevice(*tapi_, QStringLiteral("twin")), -1);
    EXPECT_EQ(FindLineDevice(*tapi_, QString()), -1);
    EXPECT_EQ(tapi_->LineIndex(), 3);
}

// The one walk of the devices that the line, the settings dialog and the
// modem lists share.
TEST_F(LineDevicesTest, ListLineDevicesGivesEveryDeviceInOrderAndKeepsTheSelection) {
    tapi_->SetLineIndex(2);
    const std::vector<LineDetails> lines = ListLineDevices(*tapi_);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[1].deviceName, "Tapi only");
    EXPECT_FALSE(lines[1].audioCapability);
    EXPECT_FALSE(lines[3].tapiCapability);
    EXPECT_EQ(tapi_->LineIndex(), 2);

    // The list fills a box as the control does; each entry carries its name.
    QComboBox box;
    EXPECT_TRUE(FillLineDevices(lines, &box, true));
    EXPECT_EQ(Items(box), (QStringList{"Twin", "Twin"}));
    EXPECT_EQ(box.itemData(1).toString(), "Twin");

    backend_->devices.clear();
    EXPECT_TRUE(ListLineDevices(*tapi_).empty());
}

TEST_F(LineDevicesTest, FillLineDevicesListsAllOrTheRecommendedAndKeepsTheSelectedIndex) {
    QComboBox box;
    EXPECT_TRUE(FillLineDevices(*tapi_, &box, false));
    EXPECT_EQ(Items(box), (QStringList{"Twin", "Tapi only", "Twin", "Audio only"}));
    box.setCurrentIndex(3);
    EXPECT_TRUE(FillLineDevices(*tapi_, &box, false));
    EXPECT_EQ(box.currentIndex(), 3);

    box.setCurrentIndex(1);
    EXPECT_TRUE(FillLineDevices(*tapi_, &box, true));
    EXPECT_EQ(Items(box), (QStringList{"Twin", "Twin"}));
    EXPECT_EQ(box.currentIndex(), 1);
    // The list got shorter than the selected index: nothing is selected.
    box.setCurrentIndex(1);
    backend_->devices.resize(1);
    EXPECT_TRUE(FillLineDevices(*tapi_, &box, true));
    EXPECT_EQ(box.currentIndex(), -1);

    backend_->devices.clear();
    EXPECT_FALSE(FillLineDevices(*tapi_, &box, false));
    EXPECT_EQ(box.count(), 0);
}

TEST(SoundDeviceIndexTest, TheLastDeviceOfThatNameOrDeviceZero) {
    const QStringList names{"Speakers", "Headset", "Speakers", "HDMI"};
    const auto nameOf = [&names](qint32 i) { return names.at(i); };
    EXPECT_EQ(SoundDeviceIndex(4, nameOf, QStringLiteral("Speakers")), 2);
    EXPECT_EQ(SoundDeviceIndex(4, nameOf, QStringLiteral("HDMI")), 3);
    EXPECT_EQ(SoundDeviceIndex(4, nameOf, QStringLiteral("speakers")), 0);
    EXPECT_EQ(SoundDeviceIndex(0, nameOf, QStringLiteral("HDMI")), 0);

    // Through the audio control: its own silent output is found by name.
    qputenv("SONVEL_NO_ALSA", "1");
    sonvel::Wave wave(nullptr);
    EXPECT_EQ(SoundDeviceIndex(wave, QStringLiteral("Sonvel Silent Output")),
              sonvel::WaveOutDeviceNumber(sonvel::kSilentOutputId));
}

}  // namespace
}  // namespace orvane
