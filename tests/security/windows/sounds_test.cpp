// The sounds of the settings: which file plays for which event, that a click on an image
// logon window and a refused logon play theirs, and that a missing file or a machine
// without audio output stays silent and never waits.
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "security/logon_image.h"
#include "security/session.h"
#include "security/sounds.h"
#include "security_window_fixture.h"

namespace corvix::security_test {
namespace {

using namespace corvix::security;

class SoundsTest : public SecurityWindowTest {
  protected:
    void SetUp() override {
        SecurityWindowTest::SetUp();
        setSoundPlayer([this](const std::string& path) { played_.push_back(path); });
        click_ = wav("click.wav");
        other_ = wav("other.wav");
        MasterCopy().PlaySounds = 1;
        MasterCopy().Sound_Click = click_;
        MasterCopy().Sound_Send = (dir_ / "missing.wav").string();
        MasterCopy().Sound_Other = other_;
    }
    void TearDown() override {
        setSoundPlayer({});
        SecurityWindowTest::TearDown();
    }
    // A tenth of a second of a quiet tone, 8 kHz mono 16-bit.
    std::string wav(const std::string& name) {
        const int samples = 800;
        QByteArray data;
        auto u32 = [&data](uint32_t v) { data.append(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&data](uint16_t v) { data.append(reinterpret_cast<const char*>(&v), 2); };
        data.append("RIFF");
        u32(36 + samples * 2);
        data.append("WAVEfmt ");
        u32(16), u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
        data.append("data");
        u32(samples * 2);
        for (int i = 0; i < samples; ++i) u16(static_cast<uint16_t>((i % 16) * 200));
        const std::string path = (dir_ / name).string();
        QFile f(QString::fromStdString(path));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return path;
    }
    std::vector<std::string> played_;
    std::string click_, other_;
};

TEST_F(SoundsTest, EachEventHasItsFileOnlyWhileSoundsAreOn) {
    EXPECT_EQ(soundFileFor(MasterCopy(), SoundEvent::Click), click_);
    EXPECT_EQ(soundFileFor(MasterCopy(), SoundEvent::Other), other_);
    playSound(SoundEvent::Send);  // the file is missing: silent, no message
    EXPECT_TRUE(played_.empty());
    MasterCopy().PlaySounds = 0;
    EXPECT_EQ(soundFileFor(MasterCopy(), SoundEvent::Click), "");
    playSound(SoundEvent::Click);
    EXPECT_TRUE(played_.empty());
    EXPECT_TRUE(messages().empty());
}

TEST_F(SoundsTest, ImageClicksAndARefusedLogonPlayTheirSounds) {
    const int32_t id = addTheme("Quay");
    vault::GsdRecord theme = *readTheme(id);
    Logon_Image logon("", theme);
    logon.show();
    for (size_t i : {0u, 4u})
        QTest::mouseClick(logon.cellButton(i), Qt::LeftButton, {},
                          logon.cellButton(i)->rect().center());
    EXPECT_EQ(played_, (std::vector<std::string>{click_, click_}));

    played_.clear();
    MasterCopy().Password = "right";
    answer("wrong");
    EXPECT_FALSE(CheckMasterPassword());
    EXPECT_EQ(played_, std::vector<std::string>{other_});
    answer(std::nullopt);  // a cancel is no refusal
    EXPECT_FALSE(CheckMasterPassword());
    EXPECT_EQ(played_.size(), 1u);
}

TEST_F(SoundsTest, QtPlayerStartsWithoutWaitingAndWithoutAudioStaysSilent) {
    setSoundPlayer({});  // the real player; offscreen there is usually no audio output
    playSound(SoundEvent::Click);
    playSound(SoundEvent::Click);  // the same effect again
    QTest::qWait(200);
    playSound(SoundEvent::Other);
    EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace corvix::security_test
