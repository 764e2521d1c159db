// Fonts by number and handle, and the message requester answered by real clicks.
#include <pango/pango.h>

#include "runtime/gui/requester.h"
#include "tests/support/gui.h"

namespace {

using namespace zvd_test;

PangoFontDescription* desc(int64_t id) { return reinterpret_cast<PangoFontDescription*>(id); }

class Fonts : public ::testing::Test {
 protected:
  void SetUp() override { start_runtime(); }
  void TearDown() override { font_free(ANY_NUMBER); }
};

TEST_F(Fonts, ByNumberReloadingKeepsOnlyTheNewFont) {
  font_load_plain(1, u"Sans", 9);
  const int64_t d = font_load(1, u"Serif", 12, FONT_BOLD);
  EXPECT_EQ(font_id(1), d);
  EXPECT_STREQ(pango_font_description_get_family(desc(d)), "Serif");
  EXPECT_EQ(pango_font_description_get_size(desc(d)), 12 * PANGO_SCALE);
  EXPECT_EQ(pango_font_description_get_weight(desc(d)), PANGO_WEIGHT_BOLD);
}

TEST_F(Fonts, ByHandleWithStyleFlags) {
  const int64_t handle = font_load(ANY_NUMBER, u"Sans", 9, FONT_BOLD | FONT_ITALIC);
  const int64_t d = font_id(handle);
  ASSERT_NE(d, 0);
  EXPECT_NE(d, handle);
  EXPECT_EQ(pango_font_description_get_style(desc(d)), PANGO_STYLE_ITALIC);
  // A handle names an existing font: it cannot be loaded over.
  EXPECT_EQ(font_load(handle, u"Serif", 8, 0), 0);
  EXPECT_EQ(font_id(handle), d);
  font_free(handle);
  EXPECT_EQ(font_id(handle), 0);
  font_free(handle);  // stale handle: nothing happens
}

TEST_F(Fonts, FreeingAllFontsBogusValuesAndClampedSizes) {
  font_load_plain(0, u"Sans", 10);
  const int64_t h = font_load_plain(ANY_NUMBER, u"Sans", 7);
  font_free(ANY_NUMBER);
  EXPECT_EQ(font_id(0), 0);
  EXPECT_EQ(font_id(h), 0);
  int local = 0;
  EXPECT_EQ(font_id(-2), 0);
  EXPECT_EQ(font_id(reinterpret_cast<intptr_t>(&local)), 0);
  EXPECT_EQ(font_load_plain(-2, u"Sans", 10), 0);
  font_free(reinterpret_cast<intptr_t>(&local));
  // Sizes that do not fit Pango's units are clamped instead of overflowing.
  EXPECT_EQ(pango_font_description_get_size(desc(font_load_plain(3, u"Sans", -5))), 0);
  EXPECT_EQ(pango_font_description_get_size(desc(font_load_plain(4, u"Sans", 1 << 30))), INT32_MAX);
}

// --- Message requester ------------------------------------------------------------

// Shows a requester, answers it with the given response and returns its result.
struct Asked {
  int64_t result;
  DialogWatcher::Seen seen;
};
Asked ask(UString title, UString text, int32_t flags, int response, bool plain = false, bool wm_close = false) {
  start_runtime();
  DialogWatcher watcher(response, wm_close);
  const int64_t result = plain ? requester_message_plain(title, text) : requester_message(title, text, flags);
  EXPECT_FALSE(watcher.gave_up);
  EXPECT_EQ(watcher.seen().size(), 1u);
  return {result, watcher.seen().empty() ? DialogWatcher::Seen{} : watcher.seen().back()};
}

TEST(Requester, ButtonSetsAndResults) {
  struct Case {
    int32_t flags;
    bool plain;
    int response;
    int64_t result;
    bool ok, yes, no, cancel;
  };
  const Case cases[] = {
      {0, true, GTK_RESPONSE_OK, 6, true, false, false, false},
      {0, false, GTK_RESPONSE_OK, 6, true, false, false, false},
      {REQUESTER_YES_NO, false, GTK_RESPONSE_YES, REQUESTER_RESULT_YES, false, true, true, false},
      {REQUESTER_YES_NO, false, GTK_RESPONSE_NO, REQUESTER_RESULT_NO, false, true, true, false},
      {REQUESTER_YES_NO_CANCEL, false, GTK_RESPONSE_CANCEL, REQUESTER_RESULT_CANCEL, false, true, true, true},
      {REQUESTER_YES_NO | REQUESTER_YES_NO_CANCEL, false, GTK_RESPONSE_NO, REQUESTER_RESULT_NO, false, true, true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags << " response " << c.response);
    const Asked a = ask(u"About", u"Hello", c.flags, c.response, c.plain);
    EXPECT_EQ(a.result, c.result);
    EXPECT_EQ(a.seen.has[0], c.ok);
    EXPECT_EQ(a.seen.has[1], c.yes);
    EXPECT_EQ(a.seen.has[2], c.no);
    EXPECT_EQ(a.seen.has[3], c.cancel);
    EXPECT_EQ(a.seen.title, "About");
  }
  EXPECT_EQ(ask(u"P", u"x", 0, GTK_RESPONSE_OK, true).seen.type, GTK_MESSAGE_OTHER);
}

TEST(Requester, MessageTypeOrderAndWindowManagerClose) {
  const Asked closed = ask(u"T", u"x", REQUESTER_INFO | REQUESTER_ERROR, 0, false, true);
  EXPECT_EQ(closed.result, 0);
  EXPECT_EQ(closed.seen.type, GTK_MESSAGE_INFO);
  EXPECT_EQ(ask(u"T", u"x", REQUESTER_ERROR | REQUESTER_WARNING, GTK_RESPONSE_OK).seen.type, GTK_MESSAGE_WARNING);
  EXPECT_EQ(ask(u"T", u"x", REQUESTER_ERROR, GTK_RESPONSE_OK).seen.type, GTK_MESSAGE_ERROR);
}

TEST(Requester, TextIsShownLiterally) {
  const Asked a = ask(u"100% %s", u"50% off %s %d %% <b>bold</b> & \u00e9t\u00e9", 0, GTK_RESPONSE_OK);
  EXPECT_EQ(a.seen.text, "50% off %s %d %% <b>bold</b> & \xc3\xa9t\xc3\xa9");
  EXPECT_FALSE(a.seen.markup);
  EXPECT_EQ(a.seen.title, "100% %s");
}

}  // namespace
