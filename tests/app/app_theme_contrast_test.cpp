// The calculator's real window under one theme per run (ZVD_THEME_CASE names the row of
// THEMES; CTest runs every row): with both counts typed and both results computed, every
// text of the window stands out from what is right behind it by the WCAG 2 ratio 4.5:1.
#include <glib/gstdio.h>

#include <cmath>
#include <fstream>
#include <iomanip>
#include <map>

#include "runtime/gadgets/button_gadget.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using namespace zvd_test;

// A theme chosen through GTK_THEME, or through the user's settings file with GTK_THEME
// unset, or switched to dark while the window is open (as a desktop's dark style does).
struct ThemeCase {
  const char *name, *gtk_theme, *settings;
  bool dark_later = false;
};
constexpr ThemeCase THEMES[] = {
    {"default", nullptr, nullptr},
    {"Adwaita-dark", "Adwaita:dark", nullptr},
    {"HighContrast", "HighContrast", nullptr},
    {"HighContrastInverse", "HighContrastInverse", nullptr},
    {"settings-prefer-dark", nullptr, "gtk-application-prefer-dark-theme=1\n"},
    {"settings-HighContrastInverse", nullptr, "gtk-theme-name=HighContrastInverse\n"},
    {"dark-while-open", nullptr, nullptr, true},
};

// A private configuration directory, so that only the case's settings apply.
std::string config;
void choose_theme(const ThemeCase& c) {
  gchar* dir = g_dir_make_tmp("zvd-theme-XXXXXX", nullptr);
  ASSERT_NE(dir, nullptr);
  config = dir;
  g_free(dir);
  g_mkdir((config + "/gtk-3.0").c_str(), 0700);
  // Without animations each change is drawn at once, never through an intermediate frame.
  std::ofstream(config + "/gtk-3.0/settings.ini") << "[Settings]\ngtk-enable-animations=0\n" << (c.settings ? c.settings : "");
  g_setenv("XDG_CONFIG_HOME", config.c_str(), TRUE);
  if (c.gtk_theme) g_setenv("GTK_THEME", c.gtk_theme, TRUE);
  else g_unsetenv("GTK_THEME");
}

double luminance(long rgb) {
  auto linear = [](long v) {
    const double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(rgb >> 16) + 0.7152 * linear((rgb >> 8) & 0xFF) + 0.0722 * linear(rgb & 0xFF);
}

// One text of the window: the rectangle (window coordinates) of its widget, shrunk by
// inset to keep frames out.
struct Region {
  std::string name;
  GdkRectangle area;
};

// The text gadgets, fields, chooser entries and button labels of the window, from the
// gadget registry: a gadget added later is measured too.
std::vector<Region> text_regions() {
  std::vector<Region> regions;
  obj_enum_begin(gadget_registry());
  ObjectValue value = 0;
  while (auto* record = static_cast<GadgetRecord*>(obj_enum_next(gadget_registry(), &value))) {
    GtkWidget* widget = GTK_WIDGET(record->widget);
    int inset = 3;  // beyond the borders of entries and buttons
    const char* kind = "button";
    switch (record->ops->type) {
      case GADGET_TEXT: inset = 0, kind = "label"; break;
      case GADGET_EDITOR: inset = 1, kind = "field"; break;
      case GADGET_COMBOBOX: widget = gtk_bin_get_child(GTK_BIN(widget)), kind = "chooser"; break;
      case GADGET_BUTTON: break;
      default: continue;
    }
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, main_toplevel(), 0, 0, &x, &y);
    regions.push_back({std::string(kind) + " \"" + text_of(value) + "\"",
                       {x + inset, y + inset, a.width - 2 * inset, a.height - 2 * inset}});
  }
  return regions;
}

// The contrast of a region of the screenshot: its most frequent colour is the background,
// the pixel farthest from it in luminance the text.
struct Contrast {
  double ratio;
  long back, text;
};
Contrast measure(GdkPixbuf* shot, const GdkRectangle& region) {
  const GdkRectangle whole{0, 0, gdk_pixbuf_get_width(shot), gdk_pixbuf_get_height(shot)};
  GdkRectangle r{};
  gdk_rectangle_intersect(&region, &whole, &r);
  const int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
  std::map<long, int> counts;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) {
      const guchar* p = gdk_pixbuf_read_pixels(shot) + y * stride + x * channels;
      ++counts[(long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]}];
    }
  if (counts.empty()) return {0, -1, -1};
  const long back = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  const double lb = luminance(back);
  const long text = std::max_element(counts.begin(), counts.end(), [&](auto& a, auto& b) {
    return std::abs(luminance(a.first) - lb) < std::abs(luminance(b.first) - lb);
  })->first;
  const double lt = luminance(text);
  return {(std::max(lb, lt) + 0.05) / (std::min(lb, lt) + 0.05), back, text};
}

class ThemeContrast : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* wanted = g_getenv("ZVD_THEME_CASE");
    for (const ThemeCase& c : THEMES)
      if (std::string(wanted ? wanted : "default") == c.name) theme = &c;
    ASSERT_NE(theme, nullptr) << "no theme case " << wanted;
    choose_theme(*theme);
    start_app();
  }
  static void TearDownTestSuite() {
    app_shutdown();
    g_remove((config + "/gtk-3.0/settings.ini").c_str());
    g_rmdir((config + "/gtk-3.0").c_str());
    g_rmdir(config.c_str());
  }
  static inline const ThemeCase* theme = nullptr;
};

TEST_F(ThemeContrast, EveryTextStandsOutFromItsBackground) {
  ASSERT_NE(theme, nullptr);
  SCOPED_TRACE(theme->name);
  focus_window(main_toplevel());
  if (theme->dark_later) g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
  type_into(app_after_count_field, "29");
  type_into(app_before_count_field, "7");
  for (int64_t button : {app_after_button, int64_t{APP_BEFORE_BUTTON}}) click(widget_of(button));
  ASSERT_TRUE(pump_until([] {
    handle_events();
    return !text_of(app_after_result_field).empty() && !text_of(app_before_result_field).empty();
  })) << "the push buttons wrote nothing";

  const std::vector<Region> regions = text_regions();
  ASSERT_EQ(regions.size(), 17u);  // 8 labels, 5 fields, 2 chooser entries, 2 buttons
  GdkWindow* window = gtk_widget_get_window(main_toplevel());
  std::vector<Contrast> found(regions.size());
  // The window is drawn after the results are set: wait until the screen shows it.
  pump_until([&] {
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                 gdk_window_get_height(window));
    if (!shot) return false;
    bool readable = true;
    for (size_t i = 0; i < regions.size(); ++i) {
      found[i] = measure(shot, regions[i].area);
      readable = readable && found[i].ratio >= COLOR_READABLE_CONTRAST;
    }
    g_object_unref(shot);
    return readable;
  });
  for (size_t i = 0; i < regions.size(); ++i) {
    std::cout << theme->name << " | " << regions[i].name << " | " << std::hex << std::setfill('0') << std::setw(6)
              << found[i].text << " on " << std::setw(6) << found[i].back << std::dec << " | " << std::fixed
              << std::setprecision(1) << found[i].ratio << "\n";
    EXPECT_GE(found[i].ratio, COLOR_READABLE_CONTRAST) << regions[i].name;
  }
}

}  // namespace
