#include "description.h"

#include <charconv>
#include <stdexcept>

namespace demogame {

const std::string& Item::Text(std::size_t i) const {
  if (i + 1 >= words_.size()) Fail("too few words");
  return words_[i + 1];
}

int Item::Int(std::size_t i) const {
  const std::string& word = Text(i);
  int value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) Fail("'" + word + "' is no whole number");
  return value;
}

double Item::Number(std::size_t i) const {
  const std::string& word = Text(i);
  try {
    std::size_t used = 0;
    const double value = std::stod(word, &used);
    if (used == word.size()) return value;
  } catch (const std::exception&) {
  }
  Fail("'" + word + "' is no number");
}

Rgb Item::Colour(std::size_t i) const {
  const std::string& word = Text(i);
  unsigned value = 0;
  if (word.size() != 7 || word[0] != '#' ||
      std::from_chars(word.data() + 1, word.data() + 7, value, 16).ptr != word.data() + 7) {
    Fail("'" + word + "' is no colour #RRGGBB");
  }
  return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0};
}

std::vector<std::string> Item::Rest(std::size_t i) const {
  if (i + 1 > words_.size()) return {};
  return {words_.begin() + static_cast<std::ptrdiff_t>(i + 1), words_.end()};
}

void Item::Fail(std::string_view what) const {
  throw std::runtime_error("assets.txt(" + std::to_string(line_) + "): " + words_[0] + ": " + std::string(what));
}

std::vector<Item> ParseDescription(std::string_view text) {
  std::vector<Item> items;
  int line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view row = text.substr(start, end - start);
    start = end + 1;
    ++line;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < row.size()) {
      if (row[at] == ' ' || row[at] == '\t') {
        ++at;
        continue;
      }
      if (words.empty() && row[at] == '#') break;
      if (row[at] == '"') {
        const std::size_t close = row.find('"', at + 1);
        if (close == std::string_view::npos) {
          throw std::runtime_error("assets.txt(" + std::to_string(line) + "): a text without its closing quote");
        }
        words.emplace_back(row.substr(at + 1, close - at - 1));
        at = close + 1;
      } else {
        std::size_t stop = at;
        while (stop < row.size() && row[stop] != ' ' && row[stop] != '\t') ++stop;
        words.emplace_back(row.substr(at, stop - at));
        at = stop;
      }
    }
    if (!words.empty()) items.emplace_back(line, std::move(words));
  }
  return items;
}

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find('|', start);
    pieces.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return pieces;
    start = bar + 1;
  }
}

}  // namespace demogame
