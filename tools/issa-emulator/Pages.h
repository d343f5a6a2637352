#pragma once
// The emulator's pages: HTML templates with {{Name}} placeholders, compiled in
// from pages/ and optionally replaced by files of the same name in a folder.

#include "PhoneBook.h"

#include <map>
#include <string>

using PageValues = std::map<std::string, std::string>;

struct Page {
    int status = 200;
    std::string contentType;
    std::string body;  // bytes as sent
};

class PageTemplates {
public:
    // Loads every template; a file "<name>.html" in overrideDir (UTF-8) replaces
    // the built-in one. Returns false with error when a template is missing.
    bool load(const std::string &overrideDir, std::string &error);
    const std::string &get(const std::string &name) const;

private:
    std::map<std::string, std::string> templates_;
};

// Replaces every {{Name}} by its value; unknown names become empty text.
std::string FillTemplate(const std::string &text, const PageValues &values);
// Escapes &, <, > and " for use in HTML text and attribute values.
std::string HtmlEscape(const std::string &text);
// "12,34" and "-7,25": two decimals with a decimal comma.
std::string FormatComma(double value);
// "12.34": two decimals with a decimal point.
std::string FormatDot(double value);
// The remaining free minutes as the sentence layout prints them: "00:45:00",
// "01:20:00", or "150 мин." for values that do not fit the hh:mm:ss form.
std::string MinutesTime(int minutes);

// The figures of a phone as template values (escaped where they are text).
PageValues PhoneValues(const EmuPhone &phone);

// Text pages of the site, encoded in windows-1251 or, for phones that ask for
// it, UTF-8.
struct Encoding {
    bool utf8 = false;
    bool charsetInHeader = true;
};
Encoding PhoneEncoding(const EmuPhone &phone);

// A page of the site: the frame (head, banner, optional menu) around the content
// template `content`.
Page SitePage(const PageTemplates &t, const std::string &content, const std::string &title, const PageValues &values,
              bool withMenu, Encoding enc, int status = 200);
// A page whose template is a whole document (frameset, refresh page).
Page WholePage(const PageTemplates &t, const std::string &name, const PageValues &values, Encoding enc,
               int status = 200);
Page AccountPage(const PageTemplates &t, const EmuPhone &phone);
Page LoginFormPage(const PageTemplates &t, const std::string &formKey, const std::string &note);
