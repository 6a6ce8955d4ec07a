// The description of the demo game's pictures and sounds (demo/assets.txt): one
// item a line, "KIND NAME ARGUMENTS...", blanks between the words, a text in
// double quotes when it holds blanks, '#' at the start of a line for a comment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace demogame {

struct Rgb {
  double r = 0, g = 0, b = 0;  // 0..1
};

// One line of the description, with typed access to its words. Every getter
// throws std::runtime_error naming the line when the word is missing or bad.
class Item {
 public:
  Item(int line, std::vector<std::string> words) : line_(line), words_(std::move(words)) {}

  int line() const { return line_; }
  const std::string& kind() const { return words_[0]; }
  // Word i after the kind (0 = the name, for every kind).
  const std::string& Text(std::size_t i) const;
  int Int(std::size_t i) const;
  double Number(std::size_t i) const;
  // "#RRGGBB".
  Rgb Colour(std::size_t i) const;
  // Words i.. to the end.
  std::vector<std::string> Rest(std::size_t i) const;
  std::size_t Count() const { return words_.size() - 1; }

  [[noreturn]] void Fail(std::string_view what) const;

 private:
  int line_;
  std::vector<std::string> words_;
};

// Reads the description; throws std::runtime_error naming the line of a word
// that does not close its quotes.
std::vector<Item> ParseDescription(std::string_view text);

// Cuts a text at every '|', keeping empty pieces.
std::vector<std::string> SplitBars(const std::string& text);

}  // namespace demogame
