// SPDX-License-Identifier: MIT
// The calculator's real main window, built by the application's start-up and driven with real
// pointer and keyboard input. ZVD_THEME_CASE names a row of THEMES to start under (CTest runs the
// readability case once per row). Closing the built program, and its exit status, is the process test's.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/app_text.h"
#include "runtime/gadgets/gadget_access.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using namespace zvd_test;

// A theme chosen through GTK_THEME, or through the user's settings file with GTK_THEME
// unset, or switched to dark while the window is open (as a desktop's dark style does).
constexpr struct ThemeCase { const char *name, *gtk_theme, *settings; bool dark_later = false; } THEMES[] = {
    {"default", nullptr, nullptr}, {"Adwaita-dark", "Adwaita:dark", nullptr}, {"HighContrast", "HighContrast", nullptr},
    {"HighContrastInverse", "HighContrastInverse", nullptr},
    {"settings-prefer-dark", nullptr, "gtk-application-prefer-dark-theme=1\n"},
    {"settings-HighContrastInverse", nullptr, "gtk-theme-name=HighContrastInverse\n"},
    {"dark-while-open", nullptr, nullptr, true},
};
const ThemeCase* theme = nullptr;
std::string config;  // a private configuration directory, so that only the case's settings apply
const char* reference_dir = g_getenv("ZVD_REFERENCE_DIR");  // set: the window is compared with its pictures

// What the reference pictures pin in the toolkit: the default theme and how text is drawn, and
// a caret that does not blink (the CTest entry pins the clock and the fonts).
constexpr char REFERENCE_SETTINGS[] =
    "gtk-theme-name=Adwaita\ngtk-icon-theme-name=Adwaita\ngtk-font-name=Sans 10\ngtk-cursor-blink=0\n"
    "gtk-xft-antialias=1\ngtk-xft-hinting=1\ngtk-xft-hintstyle=hintslight\ngtk-xft-rgba=none\ngtk-xft-dpi=98304\n";

class AppWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* wanted = g_getenv("ZVD_THEME_CASE");
    for (const ThemeCase& c : THEMES)
      if (std::string(wanted ? wanted : "default") == c.name) theme = &c;
    ASSERT_NE(theme, nullptr) << "no theme case " << wanted;
    g_autofree gchar* dir = g_dir_make_tmp("zvd-theme-XXXXXX", nullptr);
    config = dir;
    std::filesystem::create_directory(config + "/gtk-3.0");
    // Without animations each change is drawn at once, never through an intermediate frame.
    std::ofstream(config + "/gtk-3.0/settings.ini")
        << "[Settings]\ngtk-enable-animations=0\n" << (theme->settings ? theme->settings : "")
        << (reference_dir ? REFERENCE_SETTINGS : "");
    g_setenv("XDG_CONFIG_HOME", config.c_str(), TRUE);
    if (theme->gtk_theme) g_setenv("GTK_THEME", theme->gtk_theme, TRUE);
    else g_unsetenv("GTK_THEME");
    app_locale_dir = ZVD_TEST_LOCALE_DIR;
    start_app();
  }
  static void TearDownTestSuite() {
    app_shutdown();
    std::filesystem::remove_all(config);
  }
  void SetUp() override { focus_window(main_toplevel()); }
};

// The controls in the order Tab visits them, wrapping after the last.
const int64_t* const STOPS[] = {&app_year_field, &app_month_chooser, &app_day_chooser, &app_calendar,
                                &app_after_count_field, &app_after_result_field, &app_after_button,
                                &app_before_count_field, &app_before_result_field, &APP_BEFORE_BUTTON,
                                &app_logo_gadget};
constexpr int N_STOPS = int(std::size(STOPS)), LOGO_STOP = N_STOPS - 1;

// The stop holding the keyboard focus, or -1 (nothing, or something that is no stop).
int focused_stop() {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(main_toplevel()));
  for (int i = 0; focus && i < N_STOPS; ++i)
    if (focus == outer_of(*STOPS[i]) || gtk_widget_is_ancestor(focus, outer_of(*STOPS[i]))) return i;
  return -1;
}
bool key(const char* keys) { return xdotool({"key", "--clearmodifiers", keys}); }

// The date in the year, month and day fields moved by days, as a result field shows it.
std::string moved(int days) {
  g_autoptr(GDateTime) start = g_date_time_new_utc(std::stoi(text_of(app_year_field)), std::stoi(text_of(app_month_chooser)),
                                                   std::stoi(text_of(app_day_chooser)), 12, 0, 0);
  g_autoptr(GDateTime) day = g_date_time_add_days(start, days);
  g_autofree gchar* text = g_date_time_format(day, "%Y/%m/%d");
  return text;
}

// Before anything is touched the days-after count has the keyboard. Keys typed from there on,
// row by row, and what a field then holds (with its row's result, when there is one): Return in a
// count presses its row's push, a field reached by Tab is typed over, a field holds what the user
// sees (one line, also from the clipboard).
TEST_F(AppWindow, TheKeyboardComputesWhatTheFieldsShow) {
  EXPECT_EQ(focused_stop(), 4);
  g_spawn_command_line_sync("sh -c \"printf '3\\n10' | xclip -selection clipboard 2>/dev/null\"", nullptr, nullptr, nullptr, nullptr);
  // Full-width keys, as an input method for Japanese types them, in place of F10-F12: a key that
  // xdotool maps only while it runs is unmapped again before this process reads its events.
  for (KeySym key = XK_F10; KeySym full_width : {0x100FF04ul, 0x100FF10ul, 0x100FF11ul})  // $, 0, 1
    XChangeKeyboardMapping(x_display(), XKeysymToKeycode(x_display(), key++), 1, &full_width, 1);
  const struct { const char* keys; const int64_t *field, *result; const char* text; int days; } rows[] = {
      {"9 0 Return", &app_after_count_field, &app_after_result_field, "90", 90},
      {"Tab Tab Tab 5 Return 7 Tab Tab space", &app_before_count_field, &app_before_result_field, "57", -57},
      {"Tab Tab 2 0 3 0 Return", &app_year_field, nullptr, "2030", 0},
      {"Tab Tab Tab Tab ctrl+v", &app_after_count_field, nullptr, "3", 0},  // a paste comes when the clipboard sends it
      {"Return", &app_after_count_field, &app_after_result_field, "3", 3},
      {"ctrl+a UFF04 UFF11 UFF10 Return", &app_after_count_field, &app_after_result_field, "$10", 16},  // full width
  };
  for (const auto& row : rows) {
    g_auto(GStrv) words = g_strsplit((std::string("key --clearmodifiers ") + row.keys).c_str(), " ", -1);
    ASSERT_TRUE(xdotool({words, words + g_strv_length(words)}));
    auto shown = [&] { return text_of(*row.field) + (row.result ? "=" + text_of(*row.result) : ""); };
    const std::string expected = row.text + (row.result ? "=" + moved(row.days) : "");
    EXPECT_TRUE(pump_until([&] {
      handle_events();
      return shown() == expected;
    })) << row.keys << ": " << shown() << ", not " << expected << "; the focus is on stop " << focused_stop();
  }
}

// Tab, Shift+Tab and Ctrl+Tab each walk the window round, one stop per press, and take no text
// with them. (That the keyboard alone computes both results shows in the reference pictures.)
TEST_F(AppWindow, TabKeysWalkTheWindowRound) {
  auto texts = [] { std::string all; for (const int64_t* g : STOPS) all += text_of(*g) + "|"; return all; };
  for (auto [keys, step] : {std::pair{"Tab", 1}, {"shift+Tab", -1}, {"ctrl+Tab", 1}}) {
    gadget_set_focus(app_year_field);
    ASSERT_TRUE(pump_until([] { return focused_stop() == 0; }));
    const std::string before = texts();
    for (int press = 0, at = 0; press < N_STOPS; ++press) {
      const int next = (at + step + N_STOPS) % N_STOPS;
      ASSERT_TRUE(key(keys));
      ASSERT_TRUE(pump_until([&] { return focused_stop() == next; }))
          << keys << " from stop " << at << " went to " << focused_stop() << ", not " << next;
      at = next;
    }
    handle_events();
    EXPECT_EQ(texts(), before) << keys;
  }
}

// The colours of a picture's pixels as 0xRRGGBB, row by row.
std::vector<long> rgb_of(GdkPixbuf* picture) {
  std::vector<long> rgb;
  const guchar* bytes = gdk_pixbuf_read_pixels(picture);
  for (int y = 0; y < gdk_pixbuf_get_height(picture); ++y)
    for (int x = 0; x < gdk_pixbuf_get_width(picture); ++x) {
      const guchar* p = bytes + y * gdk_pixbuf_get_rowstride(picture) + x * gdk_pixbuf_get_n_channels(picture);
      rgb.push_back((long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]});
    }
  return rgb;
}

// A widget's area in the main window, and a region of the window as drawn on the screen.
GdkRectangle area_of(GtkWidget* widget) {
  GdkRectangle r{0, 0, gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget)};
  gtk_widget_translate_coordinates(widget, main_toplevel(), 0, 0, &r.x, &r.y);
  return r;
}
std::vector<long> screen(GdkRectangle r) {
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(main_toplevel()), r.x, r.y, r.width, r.height);
  std::vector<long> rgb = shot ? rgb_of(shot) : std::vector<long>{};
  if (shot) g_object_unref(shot);
  return rgb;
}

// A region's pixels once drawing has come to rest (two pictures three frames apart agree).
std::vector<long> resting(GdkRectangle r) {
  std::vector<long> previous, current = screen(r);
  for (int attempt = 0; attempt < 50 && current != previous; ++attempt) {
    pump_until([] { return false; }, 50);
    previous = std::exchange(current, screen(r));
  }
  return current;
}

double luminance(long rgb) {
  auto linear = [](long v) {
    const double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(rgb >> 16) + 0.7152 * linear((rgb >> 8) & 0xFF) + 0.0722 * linear(rgb & 0xFF);
}
double ratio(long a, long b) {
  const double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Each stop, reached by the keyboard, looks different from before: as many changed pixels as its
// outline is long stand out by 3:1 from an unchanged neighbour around it (the window), and for the
// logo as many from one inside it (the picture). The fields are emptied first, so that neither
// their caret nor a selection counts. Once the focus has left, every stop looks as before.
TEST_F(AppWindow, EveryStopShowsItsKeyboardFocus) {
  SCOPED_TRACE(theme->name);
  if (theme->dark_later) g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
  const int64_t fields[] = {app_year_field, app_month_chooser, app_day_chooser, app_after_count_field,
                           app_after_result_field, app_before_count_field, app_before_result_field};
  std::vector<std::string> texts;
  for (int64_t g : fields) texts.push_back(text_of(g)), set_text(g, "");
  for (int stop = 0; stop < N_STOPS; ++stop) {
    SCOPED_TRACE(stop);
    const GdkRectangle g = area_of(outer_of(*STOPS[stop])), r{g.x - 4, g.y - 4, g.width + 8, g.height + 8};
    const int outline = 2 * (g.width + g.height);
    gtk_window_set_focus(GTK_WINDOW(main_toplevel()), nullptr);
    const std::vector<long> before = resting(r);
    gadget_set_focus(*STOPS[stop]);
    ASSERT_TRUE(key("shift+Tab") && key("Tab"));  // focus that came by the keyboard is visible
    ASSERT_TRUE(pump_until([&] { return focused_stop() == stop; }));
    int standing_out[2];  // changed pixels 3:1 from an unchanged neighbour around the stop, inside it
    EXPECT_TRUE(pump_until([&] {
      const std::vector<long> after = resting(r);
      standing_out[0] = standing_out[1] = 0;
      for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
          bool stands_out[2] = {false, false};
          for (auto [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
            const int i = y * r.width + x, j = ny * r.width + nx;
            if (nx >= 0 && ny >= 0 && nx < r.width && ny < r.height && after[i] != before[i] &&
                after[j] == before[j] && ratio(after[i], after[j]) >= 3.0)
              stands_out[nx >= 4 && ny >= 4 && nx < 4 + g.width && ny < 4 + g.height] = true;
          }
          for (int k : {0, 1}) standing_out[k] += stands_out[k];
        }
      return standing_out[0] >= outline && (standing_out[1] >= outline || stop != LOGO_STOP);
    })) << standing_out[0] << " around and " << standing_out[1] << " inside, not " << outline;
    gtk_window_set_focus(GTK_WINDOW(main_toplevel()), nullptr);
    EXPECT_TRUE(resting(r) == before) << "it looks different after the focus left";
  }
  for (size_t i = 0; i < texts.size(); ++i) set_text(fields[i], texts[i]);
}

// Copies from the calendar (the one at start-up shows in the reference pictures): "03" matches no
// chooser item and stays in the entry, "11" selects the item "11"; 1970-01-01 (date 0) changes nothing.
TEST_F(AppWindow, CalendarCopyFillsTheDateFieldsKeepingLeadingZeros) {
  auto copy = [&](int year, int month, int day) {
    gtk_calendar_select_month(GTK_CALENDAR(widget_of(app_calendar)), month - 1, year);
    gtk_calendar_select_day(GTK_CALENDAR(widget_of(app_calendar)), day);
    app_sync_fields_from_calendar();
    return text_of(app_year_field) + text_of(app_month_chooser) + text_of(app_day_chooser) + "|" +
           std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(app_month_chooser)))) + "|" +
           std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(app_day_chooser))));
  };
  EXPECT_EQ(copy(2024, 3, 5), "20240305|-1|-1");
  EXPECT_EQ(copy(2037, 11, 25), "20371125|10|24");
  EXPECT_EQ(copy(1970, 1, 1), "20371125|10|24");
}

// Sets the text factor through gtk-xft-dpi (GDK_DPI_SCALE multiplies it); the window takes its new size
// (the layout never shrinks below its design size) and, as its size in design units stays, posts no size event.
void set_text_factor(double factor) {
  const double dpi_scale = g_getenv("GDK_DPI_SCALE") ? g_ascii_strtod(g_getenv("GDK_DPI_SCALE"), nullptr) : 1.0;
  g_object_set(gtk_settings_get_default(), "gtk-xft-dpi", int(std::lround(96 * 1024 * factor / dpi_scale)), nullptr);
  GdkFrameClock* clock = gtk_widget_get_frame_clock(main_toplevel());
  EXPECT_TRUE(pump_until([&, area = gtk_widget_get_parent(outer_of(app_year_field)), f = std::max(factor, 1.0),
                          frame = gdk_frame_clock_get_frame_counter(clock)] {
    gtk_widget_queue_draw(area);  // laid out anew once two frames have passed, also at an unchanged size
    return gdk_frame_clock_get_frame_counter(clock) > frame + 1 &&
           std::max(std::abs(gtk_widget_get_allocated_width(area) - APP_WINDOW_WIDTH * f),
                    std::abs(gtk_widget_get_allocated_height(area) - APP_WINDOW_HEIGHT * f)) <= 1;
  })) << "the window is not its design size times " << factor;
  settle();
  EXPECT_EQ(win_width(app_main_window, WINDOW_INNER_SIZE) * 1000 + win_height(app_main_window, WINDOW_INNER_SIZE),
            APP_WINDOW_WIDTH * 1000 + APP_WINDOW_HEIGHT) << "the window's size in design units";
  for (const Event& e : drain_events()) EXPECT_NE(e.type, EVENT_SIZE_WINDOW) << "at factor " << factor;
}

// The whole layout scales with the desktop's text factor: 1, the one the window started with (a
// CTest row each) and 1.5 set while it is open; below 1 it keeps its design size. Each edge lands
// within half a pixel of its place at factor 1 (the reference pictures' layout) times the factor;
// where the toolkit's least size outgrew the design's at 1 (choosers, framed pictures), by at most
// that much times the factor more. No two gadgets overlap, every label shows its text on one line
// inside its gadget, and a size that gadget_resize keeps is the design size.
TEST_F(AppWindow, TheLayoutFollowsTheTextFactor) {
  // Each gadget's place, its size in design units, and whether its text shows inside it on one line.
  auto places = [](bool resize_keeping_sizes = false) {
    std::vector<std::tuple<GdkRectangle, GdkRectangle, bool>> all;
    obj_enum_begin(gadget_registry());
    for (ObjectValue g = 0; auto* record = static_cast<GadgetRecord*>(obj_enum_next(gadget_registry(), &g));) {
      if (const int64_t w = gadget_width(g), h = gadget_height(g); resize_keeping_sizes) {
        gadget_resize(g, KEEP_VALUE, KEEP_VALUE, KEEP_VALUE, int32_t(h));
        const int64_t kept_width = gadget_width(g);
        gadget_resize(g, KEEP_VALUE, KEEP_VALUE, int32_t(w), KEEP_VALUE);
        EXPECT_EQ(std::pair(kept_width, gadget_height(g)), std::pair(w, h)) << "kept by gadget " << all.size();
      }
      const GdkRectangle box = area_of(outer_of(g)), label = area_of(GTK_WIDGET(record->widget));
      GdkRectangle text = box, both;
      if (PangoRectangle t; record->ops->type == GADGET_TEXT) {
        PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(record->widget));
        pango_layout_get_pixel_extents(layout, nullptr, &t);
        text = {label.x + t.x, label.y + t.y, t.width, pango_layout_get_line_count(layout) == 1 ? t.height : 9999};
      }
      gdk_rectangle_union(&text, &box, &both);
      all.push_back({box, {0, 0, int(gadget_width(g)), int(gadget_height(g))}, bool(gdk_rectangle_equal(&both, &box))});
    }
    return all;
  };
  const double start_factor = gdk_screen_get_resolution(gdk_screen_get_default()) / 96;
  const auto at_start = places();
  set_text_factor(1);
  gtk_window_move(GTK_WINDOW(main_toplevel()), 0, 0);  // wider than the screen at factor 2
  const auto design = places();
  ASSERT_EQ(design.size(), 20u);
  // Under a translated locale (the CTest rows that set ZVD_TRANSLATED) no gadget shows an English text.
  const std::set<std::string> english{"Year", "Month", "Day", "valid period: 1970-01-01 <--> 2038-01-19",
                                      "days after", "days before", "push"};
  obj_enum_begin(gadget_registry());
  for (ObjectValue g = 0; g_getenv("ZVD_TRANSLATED") && obj_enum_next(gadget_registry(), &g);)
    EXPECT_EQ(english.count(text_of(g)), 0u) << "gadget " << g << " shows " << text_of(g);
  for (double factor : {1.0, start_factor, 1.5}) {
    SCOPED_TRACE("text factor " + std::to_string(factor));
    set_text_factor(factor);
    const double f = win_text_factor();  // the layout's factor
    const auto now = factor == start_factor ? at_start : places();
    places(true);
    // Drawn at twice its size (GDK_SCALE=2 at factor 1, or factor 2), the banner shows its twice-size
    // picture, not the small one stretched.
    if (gtk_widget_get_scale_factor(main_toplevel()) * f == 2) {
      g_autoptr(GdkPixbuf) larger = gdk_pixbuf_new_from_file(ZVD_TEST_IMAGE_DIR "/ZuveduDereduRARuruDezov@2x.png", 0);
      const GdkRectangle r = area_of(widget_of(app_banner_gadget)), shown{r.x, r.y, 600 * int(f), 50 * int(f)};
      EXPECT_TRUE(larger && pump_until([&] { return screen(shown) == rgb_of(larger); })) << "a stretched banner";
    }
    for (size_t i = 0; i < design.size(); ++i) {
      const auto [d, size, unused] = design[i];
      const auto [p, design_size, text_inside] = now[i];
      EXPECT_TRUE(text_inside) << "the text of gadget " << i << " wraps or is cut";
      for (auto [got, want, grown] : {std::tuple{p.x, d.x * f, 0}, {p.y, d.y * f, 0},
                                      {p.x + p.width, (d.x + size.width) * f, d.width - size.width},
                                      {p.y + p.height, (d.y + size.height) * f, d.height - size.height}})
        EXPECT_TRUE(got >= want - 0.5 && got <= want + 0.5 + (grown > 0 ? grown * f + 1 : 0))
            << "gadget " << i << ": " << got << ", not " << want;
      for (size_t j = i + 1; j < design.size(); ++j)
        EXPECT_FALSE(gdk_rectangle_intersect(&p, &std::get<0>(now[j]), nullptr)) << i << " overlaps " << j;
    }
  }
  set_text_factor(start_factor);
}

// The window keeps its size (its layout, fields and pictures are in the reference pictures). The
// fields hold one line as typed; how a short field scrolls is the gadget test's.
TEST_F(AppWindow, TheWindowKeepsItsSize) { EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(main_toplevel()))); }

// Writes 0xRRGGBB pixels, row by row, as a PNG picture.
void save_png(const std::vector<long>& rgb, int width, const std::string& path) {
  const int height = int(rgb.size()) / width;
  GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  for (int i = 0; i < width * height; ++i) {
    guchar* p = gdk_pixbuf_get_pixels(picture) + i / width * gdk_pixbuf_get_rowstride(picture) + i % width * 3;
    for (int c = 0; c < 3; ++c) p[c] = guchar(rgb[i] >> (16 - 8 * c));
  }
  EXPECT_TRUE(gdk_pixbuf_save(picture, path.c_str(), "png", nullptr, nullptr)) << path;
  g_object_unref(picture);
}

// The whole window, pixel for pixel, against the reference picture <name>-ref.png. On a difference
// <name>-out.png (the window as drawn) and <name>-diff.png (differing pixels red, the rest pale)
// go to ZVD_REFERENCE_OUT; with ZVD_REMAKE_REFERENCES=1 the window as drawn becomes the reference.
void expect_reference(const std::string& name) {
  const GdkRectangle whole{0, 0, gtk_widget_get_allocated_width(main_toplevel()),
                           gtk_widget_get_allocated_height(main_toplevel())};
  const std::string path = std::string(reference_dir) + "/" + name + "-ref.png";
  if (g_strcmp0(g_getenv("ZVD_REMAKE_REFERENCES"), "1") == 0) return save_png(resting(whole), whole.width, path);
  GdkPixbuf* reference = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  ASSERT_NE(reference, nullptr) << path;
  const std::vector<long> wanted = rgb_of(reference);
  g_object_unref(reference);
  std::vector<long> shot;
  // Under a right-to-left locale only the calendar, with the toolkit's translated names, may differ;
  // its header reads left to right too, the year (as the reference draws it) on the right.
  auto drawn = [&, calendar = area_of(outer_of(app_calendar))](std::vector<long> rgb) {
    const GdkRectangle year{calendar.x + calendar.width * 2 / 3, calendar.y, calendar.width / 3, 22};
    for (size_t i = 0; gtk_get_locale_direction() == GTK_TEXT_DIR_RTL && i < std::min(rgb.size(), wanted.size()); ++i)
      if (GdkRectangle p{int(i) % whole.width, int(i) / whole.width, 1, 1};
          gdk_rectangle_intersect(&p, &calendar, 0) && !gdk_rectangle_intersect(&p, &year, 0))
        rgb[i] = wanted[i];
    return rgb;
  };
  if (pump_until([&] { return (shot = drawn(screen(whole))) == wanted; }) || (shot = drawn(resting(whole))) == wanted)
    return;
  const char* out_dir = g_getenv("ZVD_REFERENCE_OUT");
  const std::string out = std::string(out_dir ? out_dir : ".") + "/" + name;
  save_png(shot, whole.width, out + "-out.png");
  int differing = 0;
  if (shot.size() == wanted.size()) {  // the window's size is fixed: same count, same size
    std::vector<long> diff(shot.size());
    for (size_t i = 0; i < shot.size(); ++i) {
      diff[i] = shot[i] == wanted[i] ? 0xC0C0C0 | (shot[i] >> 2 & 0x3F3F3F) : 0xFF0000;
      differing += shot[i] != wanted[i];
    }
    save_png(diff, whole.width, out + "-diff.png");
  }
  ADD_FAILURE() << name << ": the window differs from " << path << " in "
                << (differing ? std::to_string(differing) + " pixels" : "size") << "; see " << out << "-*.png";
}

// The whole window against its reference pictures: at start-up (the days-after count has the
// keyboard), then after "29", Tab, Tab, Space, Tab, "7", Tab, Tab, Space, Tab: both results computed
// by the keyboard alone, and the logo showing the focus ring that keyboard focus brings. It runs as
// app_reference_image_test (elsewhere it is skipped): a clock pinned to 2024-02-29 12:00 UTC by
// faketime, DejaVu Sans alone, the default theme, no caret blinking and the pointer off the window.
// To remake the references after a change of what the window shows is meant, run the entry with
// ZVD_REMAKE_REFERENCES=1, look at the new pictures and commit them:
//   ZVD_REMAKE_REFERENCES=1 ctest --test-dir build -R app_reference_image_test
TEST_F(AppWindow, TheWholeWindowMatchesItsReferencePictures) {
  if (!reference_dir) GTEST_SKIP() << "runs under the pinned clock and fonts of app_reference_image_test";
  XTestFakeMotionEvent(x_display(), -1, 0, 0, CurrentTime);
  XFlush(x_display());
  // Under a translated locale (ZVD_REFERENCE_LANGUAGE) its own picture at start-up alone.
  const char* language = g_getenv("ZVD_REFERENCE_LANGUAGE");
  expect_reference(language ? std::string("window-start-") + language : "window-start");
  if (language) return;
  ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "2", "9", "Tab", "Tab", "space", "Tab", "7", "Tab", "Tab", "space",
                       "Tab"}));
  ASSERT_TRUE(pump_until([] {
    handle_events();
    return focused_stop() == LOGO_STOP && !text_of(app_before_result_field).empty();
  })) << "the keyboard did not compute both results; the focus is on stop " << focused_stop();
  expect_reference("window-computed");
}


// The contrast of a region of the screen: its most frequent colour is the background, the pixel
// farthest from it in luminance the text.
double contrast(GdkRectangle r) {
  std::map<long, int> counts;
  for (long rgb : screen(r)) ++counts[rgb];
  if (counts.empty()) return 0;
  const long back =
      std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  long text = back;
  for (auto [rgb, n] : counts)
    if (std::abs(luminance(rgb) - luminance(back)) > std::abs(luminance(text) - luminance(back))) text = rgb;
  return ratio(back, text);
}

// With both counts typed and both results computed, every text of the window stands out
// from what is right behind it by the WCAG 2 ratio 4.5:1.
TEST_F(AppWindow, EveryTextStandsOutFromItsBackground) {
  SCOPED_TRACE(theme->name);
  if (theme->dark_later) g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
  type_into(app_after_count_field, "29");
  type_into(app_before_count_field, "7");
  for (int64_t button : {app_after_button, int64_t{APP_BEFORE_BUTTON}}) click(widget_of(button));
  ASSERT_TRUE(pump_until([] {
    handle_events();
    return !text_of(app_after_result_field).empty() && !text_of(app_before_result_field).empty();
  })) << "the push buttons wrote nothing";

  // Every text gadget, field, chooser entry and button label, from the gadget registry (a
  // gadget added later is measured too), inset to keep frames out.
  std::vector<std::pair<std::string, GdkRectangle>> regions;
  obj_enum_begin(gadget_registry());
  ObjectValue value = 0;
  while (auto* record = static_cast<GadgetRecord*>(obj_enum_next(gadget_registry(), &value))) {
    GtkWidget* widget = GTK_WIDGET(record->widget);
    const int type = record->ops->type;
    if (type == GADGET_COMBOBOX) widget = gtk_bin_get_child(GTK_BIN(widget));
    else if (type != GADGET_TEXT && type != GADGET_EDITOR && type != GADGET_BUTTON) continue;
    const int inset = type == GADGET_TEXT ? 0 : type == GADGET_EDITOR ? 1 : 3;
    const GdkRectangle r = area_of(widget);
    regions.push_back(
        {"\"" + text_of(value) + "\"", {r.x + inset, r.y + inset, r.width - 2 * inset, r.height - 2 * inset}});
  }
  ASSERT_EQ(regions.size(), 17u);  // 8 labels, 5 fields, 2 chooser entries, 2 buttons
  // Focused, then unfocused: the toolkit's "backdrop" state, as it sets it when a window manager
  // reports the window unfocused (the test's X server runs none).
  for (bool focused : {true, false}) {
    SCOPED_TRACE(focused ? "focused" : "unfocused");
    if (!focused) {
      bool drawn = false;  // set by the first drawing in the new state
      auto on_draw = +[](GtkWidget*, cairo_t*, gpointer d) { return gboolean(!(*static_cast<bool*>(d) = true)); };
      const gulong id = g_signal_connect_after(main_toplevel(), "draw", G_CALLBACK(on_draw), &drawn);
      gtk_widget_set_state_flags(main_toplevel(), GTK_STATE_FLAG_BACKDROP, FALSE);
      EXPECT_TRUE(pump_until([&] { return drawn; }));
      g_signal_handler_disconnect(main_toplevel(), id);
    }
    // The window is drawn after each change: wait until the screen shows it.
    std::vector<double> ratios(regions.size());
    pump_until([&] {
      for (size_t i = 0; i < regions.size(); ++i) ratios[i] = contrast(regions[i].second);
      return *std::min_element(ratios.begin(), ratios.end()) >= COLOR_READABLE_CONTRAST;
    });
    for (size_t i = 0; i < regions.size(); ++i) EXPECT_GE(ratios[i], COLOR_READABLE_CONTRAST) << regions[i].first;
  }
  gtk_widget_unset_state_flags(main_toplevel(), GTK_STATE_FLAG_BACKDROP);
}

// One use of a push button: the texts typed into the four fields and the expected result.
struct DateCase { const char *year, *month, *day, *count; bool after; const char* expected; };  // after: upper

void run_case(const DateCase& c) {
  SCOPED_TRACE(std::string(c.after ? "after: " : "before: ") + c.year + "|" + c.month + "|" + c.day + "|" + c.count);
  const int64_t result_field = c.after ? app_after_result_field : app_before_result_field;
  type_into(app_year_field, c.year);
  type_into(app_month_chooser, c.month);
  type_into(app_day_chooser, c.day);
  type_into(c.after ? app_after_count_field : app_before_count_field, c.count);
  set_text(result_field, "");
  click(widget_of(c.after ? app_after_button : APP_BEFORE_BUTTON));
  ASSERT_TRUE(pump_until([&] {
    handle_events();
    return !text_of(result_field).empty();
  })) << "the push button wrote nothing";
  EXPECT_EQ(text_of(result_field), c.expected);
}

TEST_F(AppWindow, PushButtonsMoveTheStartDate) {
  const DateCase cases[] = {
      {"2024", "1", "31", "29", true, "2024/02/29"}, {"2024", "1", "31", "1", false, "2024/01/30"},
      {"2024", "1", "31", "-5", true, "2024/01/26"}, {"2024", "1", "31", "5abc", true, "2024/02/05"},
      {"2024", "1", "31", "$10", true, "2024/02/16"}, {"2024", "1", "31", "%11", true, "2024/02/03"},
      {"2024", "1", "31", "", true, "2024/01/31"}, {"2024", "1", "31", "", false, "2024/01/31"},
      {"1970", "1", "1", "1", false, "1969/12/31"},
      // Zeros and blanks before month and day (the date steps themselves are the date library's test).
      {"2024", "03", "05", "0", true, "2024/03/05"}, {"2024", "3", "  5", "0", false, "2024/03/05"},
      // Invalid start dates.
      {"2024", "13", "1", "1", true, "0000/00/00"}, {"2024", "4", "31", "1", true, "0000/00/00"},
      {"2023", "2", "29", "1", false, "0000/00/00"}, {"1969", "12", "31", "1", true, "0000/00/00"},
      {"2038", "1", "20", "0", true, "0000/00/00"}, {"", "1", "1", "1", true, "0000/00/00"},
      {"year", "1", "1", "1", false, "0000/00/00"},
      // Mended: the days-before count is parsed like the days-after count, then negated.
      {"2024", "1", "31", " 10", false, "2024/01/21"}, {"2024", "1", "31", "+10", false, "2024/01/21"},
      {"2024", "1", "31", "-5", false, "2024/02/05"}, {"2024", "1", "31", "$10", false, "2024/01/15"},
      {"2024", "1", "31", "%11", false, "2024/01/28"}, {"2024", "1", "31", "5abc", false, "2024/01/26"},
      // Mended: numbers beyond the date library's 32-bit arguments are not cut to their low bits.
      {"2024", "1", "31", "4294967297", true, "0000/00/00"}, {"2024", "1", "31", "4294967297", false, "0000/00/00"},
      {"2024", "1", "31", "2147483648", true, "0000/00/00"}, {"2024", "1", "31", "-2147483648", false, "0000/00/00"},
      {"4294969320", "1", "31", "0", true, "0000/00/00"}, {"2024", "1", "4294967327", "0", false, "0000/00/00"},
      // Mended: results past 2038-01-19 show their true date.
      {"2038", "1", "19", "1", true, "2038/01/20"}, {"2038", "1", "19", "-1", false, "2038/01/20"},
      {"2024", "1", "31", "30000", true, "2106/03/22"},
  };
  for (const DateCase& c : cases) run_case(c);
}

// A left click on the logo, or Enter or Space while it has the focus, posts one left click
// and opens the about box, kept above the window; right clicks and banner clicks open nothing.
TEST_F(AppWindow, TheLogoOpensTheAboutBox) {
  DialogWatcher watcher;
  handled.clear();
  click(widget_of(app_logo_gadget), 3);
  click(widget_of(app_banner_gadget), 1);
  click(widget_of(app_banner_gadget), 3);
  // A push afterwards marks the end: once its result shows, the clicks before it were handled.
  run_case({"2024", "1", "31", "1", false, "2024/01/30"});
  EXPECT_TRUE(watcher.seen.empty());
  for (auto event : decltype(handled){{app_logo_gadget, GADGET_EVENT_RIGHT_CLICK},
                                      {app_banner_gadget, GADGET_EVENT_LEFT_CLICK},
                                      {app_banner_gadget, GADGET_EVENT_RIGHT_CLICK}})
    EXPECT_NE(std::find(handled.begin(), handled.end(), event), handled.end()) << event.first << " " << event.second;
  for (const std::string keys : {"pointer", "Return", "space", "KP_Enter"}) {
    SCOPED_TRACE(keys);
    focus_window(main_toplevel());
    const size_t seen = watcher.seen.size();
    handled.clear();
    if (keys == "pointer") {
      click(widget_of(app_logo_gadget), 1);
    } else {
      gadget_set_focus(app_logo_gadget);
      ASSERT_TRUE(pump_until([] { return focused_stop() == LOGO_STOP; }));
      ASSERT_TRUE(key(keys.c_str()));
    }
    ASSERT_TRUE(pump_until([&] {
      handle_events();  // returns once the box is closed
      return watcher.seen.size() > seen;
    })) << "no about box";
    handle_events();
    ASSERT_EQ(watcher.seen.size(), seen + 1);
    EXPECT_EQ(watcher.seen.back().parent, GTK_WINDOW(main_toplevel())) << "the box is kept above the window";
    EXPECT_EQ(watcher.seen.back().title, "合同会社Zephra Corporation");
    EXPECT_EQ(watcher.seen.back().text,
              "\n合同会社Zephra Corporation\n"
              "\u3000\u3000〒000-0000 見本県架空市例町1丁目2番3号\n"
              "https://zephra.example/");
    EXPECT_EQ(handled, (decltype(handled){{app_logo_gadget, GADGET_EVENT_LEFT_CLICK}}));
  }
  run_case({"2024", "1", "31", "29", true, "2024/02/29"});  // the main window still works
}

}  // namespace
