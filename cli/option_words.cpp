// SPDX-License-Identifier: MIT
#include "option_words.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace quillmere::cli {
namespace {

// Returns how messages name `option`: its first long name, or its first letter.
std::string OptionName(const OptionWord& option) {
  return option.longNames.empty() ? std::string("-") + option.shortNames.front()
                                  : "--" + option.longNames.front();
}

// Returns the index of the option of `command` named `name` ("--name") or `letter` ("-l").
std::optional<std::size_t> Find(const CommandWords& command, std::string_view name, char letter) {
  for (std::size_t i = 0; i < command.options.size(); ++i) {
    const OptionWord& option = command.options[i];
    const bool named =
        letter != '\0' ? option.shortNames.find(letter) != std::string::npos
                       : std::find(option.longNames.begin(), option.longNames.end(), name) !=
                             option.longNames.end();
    if (named) {
      return i;
    }
  }
  return std::nullopt;
}

} // namespace

WalkedWords WalkOptionWords(const std::vector<std::string>& words, const CommandWords& program,
                            const std::vector<CommandWords>& commands) {
  WalkedWords walked;
  const CommandWords* scope = &program;
  std::vector<std::string> commandPath; // the command's name once it is chosen
  std::vector<int> given(program.options.size(), 0);
  const auto leaveTheRest = [&walked, &words](std::size_t from) {
    walked.words.insert(walked.words.end(), words.begin() + static_cast<std::ptrdiff_t>(from),
                        words.end());
  };
  for (std::size_t at = 0; at < words.size(); ++at) {
    const std::string& word = words[at];
    if (word == "--") {
      leaveTheRest(at);
      break;
    }
    if (word.size() < 2 || word[0] != '-') {
      if (scope == &program) {
        const auto command = std::find_if(commands.begin(), commands.end(),
                                          [&word](const CommandWords& c) { return c.name == word; });
        if (command == commands.end()) {
          leaveTheRest(at);
          break;
        }
        scope = &*command;
        given.assign(scope->options.size(), 0);
        commandPath.push_back(word);
      }
      walked.words.push_back(word);
      continue;
    }
    const bool isLong = word[1] == '-';
    const std::size_t equals = isLong ? word.find('=') : std::string::npos;
    const std::string_view name =
        isLong ? std::string_view(word).substr(2, equals == std::string::npos ? equals : equals - 2)
               : std::string_view();
    const std::optional<std::size_t> found = Find(*scope, name, isLong ? '\0' : word[1]);
    if (!found) {
      leaveTheRest(at);
      break;
    }
    const OptionWord& option = scope->options[*found];
    // What follows the name in the same word: "=value" for a long option, the rest of the word
    // for a one-letter one.
    const bool attached = isLong ? equals != std::string::npos : word.size() > 2;
    const std::string shownName = OptionName(option);
    if (!option.takesValue) {
      if (attached && isLong && option.valueAfterEquals) {
        walked.words.push_back(word);
        continue;
      }
      if (attached && isLong) {
        walked.mistake = shownName + " takes no value";
        return walked;
      }
      if (attached) {
        leaveTheRest(at); // a cluster of letters, which the parser takes apart
        break;
      }
      if (option.endsWords) {
        walked.words = commandPath;
        walked.words.push_back(word);
        return walked;
      }
      walked.words.push_back(word);
      continue;
    }
    std::string value;
    if (attached) {
      value = isLong ? word.substr(equals + 1) : word.substr(2);
      if (value.empty() && isLong && !option.emptyValue.empty()) {
        walked.mistake = shownName + " needs " + option.emptyValue;
        return walked;
      }
    } else if (at + 1 < words.size()) {
      value = words[++at];
    } else {
      walked.mistake = "option " + shownName + " needs a value";
      return walked;
    }
    if (given[*found]++ > 0) {
      walked.mistake = shownName + " was given twice";
      return walked;
    }
    if (value.empty()) {
      walked.words.push_back(shownName);
      walked.words.emplace_back();
    } else {
      walked.words.push_back(shownName + (option.longNames.empty() ? "" : "=") + value);
    }
  }
  return walked;
}

} // namespace quillmere::cli
