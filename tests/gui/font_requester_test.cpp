// Fonts by number and handle, and the message requester answered by real clicks.

#include <pango/pango.h>

#include <string>

#include "runtime/gui/requester.h"
#include "tests/gui/gui_frame_support.h"

namespace {

PangoFontDescription* desc(int64_t id) { return reinterpret_cast<PangoFontDescription*>(id); }

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override { zvd_test::start_frame(); }
  void TearDown() override { font_free(ANY_NUMBER); }
};

TEST_F(FontTest, NumberedFontAndItsDescription) {
  const int64_t d = font_load_plain(0, u"Sans", 10);
  ASSERT_NE(d, 0);
  EXPECT_EQ(font_id(0), d);
  EXPECT_STREQ(pango_font_description_get_family(desc(d)), "Sans");
  EXPECT_EQ(pango_font_description_get_size(desc(d)), 10 * 1024);
  EXPECT_EQ(pango_font_description_get_weight(desc(d)), PANGO_WEIGHT_NORMAL);
}

TEST_F(FontTest, ReloadingANumberKeepsOnlyTheNewFont) {
  font_load_plain(1, u"Sans", 9);
  const int64_t second = font_load(1, u"Serif", 12, FONT_BOLD);
  EXPECT_EQ(font_id(1), second);
  EXPECT_STREQ(pango_font_description_get_family(desc(second)), "Serif");
  EXPECT_EQ(pango_font_description_get_size(desc(second)), 12 * 1024);
}

TEST_F(FontTest, HandleFontWithStyleFlags) {
  const int64_t handle = font_load(ANY_NUMBER, u"Sans", 9, FONT_BOLD | FONT_ITALIC);
  ASSERT_NE(handle, 0);
  const int64_t d = font_id(handle);
  ASSERT_NE(d, 0);
  EXPECT_NE(d, handle);
  EXPECT_EQ(pango_font_description_get_size(desc(d)), 9216);
  EXPECT_EQ(pango_font_description_get_weight(desc(d)), 700);
  EXPECT_EQ(pango_font_description_get_style(desc(d)), PANGO_STYLE_ITALIC);
  // A handle names an existing font: it cannot be loaded over.
  EXPECT_EQ(font_load(handle, u"Serif", 8, 0), 0);
  EXPECT_EQ(font_id(handle), d);
  font_free(handle);
  EXPECT_EQ(font_id(handle), 0);
  font_free(handle);  // stale handle: nothing happens
}

TEST_F(FontTest, FreeingAllFontsAndBogusValues) {
  font_load_plain(0, u"Sans", 10);
  font_load_plain(2, u"Sans", 8);
  const int64_t h = font_load_plain(ANY_NUMBER, u"Sans", 7);
  font_free(ANY_NUMBER);
  EXPECT_EQ(font_id(0), 0);
  EXPECT_EQ(font_id(2), 0);
  EXPECT_EQ(font_id(h), 0);
  int local = 0;
  EXPECT_EQ(font_id(-2), 0);
  EXPECT_EQ(font_id(reinterpret_cast<intptr_t>(&local)), 0);
  EXPECT_EQ(font_load_plain(-2, u"Sans", 10), 0);
  font_free(-2);
  font_free(reinterpret_cast<intptr_t>(&local));
  // Sizes that do not fit Pango's units are clamped instead of overflowing.
  EXPECT_EQ(pango_font_description_get_size(desc(font_load_plain(3, u"Sans", -5))), 0);
  EXPECT_EQ(pango_font_description_get_size(desc(font_load_plain(4, u"Sans", 1 << 30))), INT32_MAX);
}

// --- Message requester ------------------------------------------------------------

struct Answer {
  int response = 0;       // the button to click
  bool wm_close = false;  // close from the window manager instead
  bool done = false;
  std::string text, title;
  GtkMessageType type = GTK_MESSAGE_OTHER;
  bool use_markup = true;
  bool has[4] = {};  // OK, YES, NO, CANCEL
};
Answer g_answer;

GtkWidget* shown_dialog() {
  GtkWidget* found = nullptr;
  GList* tops = gtk_window_list_toplevels();
  for (GList* l = tops; l; l = l->next) {
    auto* w = static_cast<GtkWidget*>(l->data);
    if (GTK_IS_MESSAGE_DIALOG(w) && gtk_widget_get_mapped(w) && gdk_window_is_viewable(gtk_widget_get_window(w))) found = w;
  }
  g_list_free(tops);
  return found;
}

gboolean answer_dialog(gpointer) {
  GtkWidget* dialog = shown_dialog();
  if (!dialog) return G_SOURCE_CONTINUE;
  Answer& a = g_answer;
  gchar* text = nullptr;
  gboolean markup = TRUE;
  g_object_get(dialog, "text", &text, "use-markup", &markup, "message-type", &a.type, nullptr);
  a.text = text ? text : "";
  g_free(text);
  a.use_markup = markup;
  a.title = gtk_window_get_title(GTK_WINDOW(dialog));
  const int responses[4] = {GTK_RESPONSE_OK, GTK_RESPONSE_YES, GTK_RESPONSE_NO, GTK_RESPONSE_CANCEL};
  for (int i = 0; i < 4; ++i) a.has[i] = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), responses[i]);
  a.done = true;
  if (a.wm_close) {
    zvd_test::send_wm_delete(dialog);
    return G_SOURCE_REMOVE;
  }
  GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), a.response);
  if (!button) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NONE);
    return G_SOURCE_REMOVE;
  }
  zvd_test::click(button, gtk_widget_get_allocated_width(button) / 2, gtk_widget_get_allocated_height(button) / 2, 1);
  return G_SOURCE_REMOVE;
}

// A dialog nobody could answer is dismissed, so a failing test cannot hang.
bool g_gave_up = false;
gboolean give_up(gpointer) {
  g_gave_up = true;
  if (GtkWidget* dialog = shown_dialog()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NONE);
  return G_SOURCE_REMOVE;
}

class RequesterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zvd_test::start_frame();
    g_answer = Answer{};
    g_gave_up = false;
  }
  int64_t ask(UString title, UString text, int32_t flags, int response, bool wm_close = false) {
    g_answer.response = response;
    g_answer.wm_close = wm_close;
    const guint answer = g_timeout_add(10, answer_dialog, nullptr);
    const guint fallback = g_timeout_add(10000, give_up, nullptr);
    const int64_t result = plain ? requester_message_plain(title, text) : requester_message(title, text, flags);
    if (!g_gave_up) g_source_remove(fallback);
    EXPECT_FALSE(g_gave_up);
    if (!g_answer.done) g_source_remove(answer);
    EXPECT_EQ(shown_dialog(), nullptr);  // gone before the caller continues
    return result;
  }
  bool plain = false;
};

TEST_F(RequesterTest, PlainRequesterHasOneOkButtonAndNoIcon) {
  plain = true;
  EXPECT_EQ(ask(u"About", u"Hello", 0, GTK_RESPONSE_OK), 6);
  EXPECT_TRUE(g_answer.has[0]);
  EXPECT_FALSE(g_answer.has[1] || g_answer.has[2] || g_answer.has[3]);
  EXPECT_EQ(g_answer.type, GTK_MESSAGE_OTHER);
  EXPECT_EQ(g_answer.title, "About");
}

TEST_F(RequesterTest, YesNoAnswers) {
  EXPECT_EQ(ask(u"Q", u"Sure?", REQUESTER_YES_NO, GTK_RESPONSE_YES), REQUESTER_RESULT_YES);
  EXPECT_TRUE(g_answer.has[1] && g_answer.has[2]);
  EXPECT_FALSE(g_answer.has[0] || g_answer.has[3]);
  EXPECT_EQ(ask(u"Q", u"Sure?", REQUESTER_YES_NO, GTK_RESPONSE_NO), REQUESTER_RESULT_NO);
}

TEST_F(RequesterTest, YesNoCancelAndTheYesNoFlagWinning) {
  EXPECT_EQ(ask(u"Q", u"Save?", REQUESTER_YES_NO_CANCEL, GTK_RESPONSE_CANCEL), REQUESTER_RESULT_CANCEL);
  EXPECT_TRUE(g_answer.has[1] && g_answer.has[2] && g_answer.has[3]);
  EXPECT_EQ(ask(u"Q", u"Save?", REQUESTER_YES_NO | REQUESTER_YES_NO_CANCEL, GTK_RESPONSE_NO), REQUESTER_RESULT_NO);
  EXPECT_FALSE(g_answer.has[3]);
}

TEST_F(RequesterTest, MessageTypeOrderAndWindowManagerClose) {
  EXPECT_EQ(ask(u"T", u"x", REQUESTER_INFO | REQUESTER_ERROR, 0, true), 0);
  EXPECT_EQ(g_answer.type, GTK_MESSAGE_INFO);
  ask(u"T", u"x", REQUESTER_ERROR | REQUESTER_WARNING, GTK_RESPONSE_OK);
  EXPECT_EQ(g_answer.type, GTK_MESSAGE_WARNING);
  ask(u"T", u"x", REQUESTER_ERROR, GTK_RESPONSE_OK);
  EXPECT_EQ(g_answer.type, GTK_MESSAGE_ERROR);
}

TEST_F(RequesterTest, TextIsShownLiterally) {
  ask(u"100% %s", u"50% off %s %d %% <b>bold</b> & \u00e9t\u00e9", 0, GTK_RESPONSE_OK);
  EXPECT_EQ(g_answer.text, "50% off %s %d %% <b>bold</b> & \xc3\xa9t\xc3\xa9");
  EXPECT_FALSE(g_answer.use_markup);
  EXPECT_EQ(g_answer.title, "100% %s");
}

TEST(RequesterResults, ResponseTable) {
  EXPECT_EQ(requester_result_for_response(GTK_RESPONSE_NO), 7);
  EXPECT_EQ(requester_result_for_response(GTK_RESPONSE_YES), 6);
  EXPECT_EQ(requester_result_for_response(GTK_RESPONSE_CLOSE), 0);
  EXPECT_EQ(requester_result_for_response(GTK_RESPONSE_CANCEL), 2);
  EXPECT_EQ(requester_result_for_response(GTK_RESPONSE_OK), 6);
  for (int other : {-10, -4, -1, 0, 1, INT32_MIN, INT32_MAX}) EXPECT_EQ(requester_result_for_response(other), 0);
}

}  // namespace
