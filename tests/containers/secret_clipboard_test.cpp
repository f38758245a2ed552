// A secret on the clipboard: marked for clipboard managers, gone after its time unless
// the user copied something else meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include "framework/secret_clipboard.h"

namespace corvix::framework {
namespace {

TEST(SecretClipboard, MarkedAndClearedWhenUnchanged) {
    QClipboard* clip = QApplication::clipboard();
    copySecretToClipboard(::runtime::Secret("s3cret!"), 150);
    const QMimeData* data = clip->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), "s3cret!");
    EXPECT_EQ(data->data("x-kde-passwordManagerHint"), "secret");
    EXPECT_TRUE(clipboardHoldsSecret());
    QTest::qWait(50);
    EXPECT_EQ(clip->text(), "s3cret!");  // not before its time
    QTest::qWait(250);
    EXPECT_TRUE(clip->text().isEmpty());
    EXPECT_FALSE(clipboardHoldsSecret());
}

TEST(SecretClipboard, SomethingCopiedSinceIsLeftAlone) {
    QClipboard* clip = QApplication::clipboard();
    copySecretToClipboard(::runtime::Secret("first"), 100);
    clip->setText("the user's own text");
    QTest::qWait(250);
    EXPECT_EQ(clip->text(), "the user's own text");

    // A second copy restarts the wait; clearing at exit takes it at once.
    copySecretToClipboard(::runtime::Secret("second"), 100);
    copySecretToClipboard(::runtime::Secret("third"), 10000);
    QTest::qWait(200);
    EXPECT_EQ(clip->text(), "third");
    clearSecretClipboard();
    EXPECT_TRUE(clip->text().isEmpty());
}

}  // namespace
}  // namespace corvix::framework
