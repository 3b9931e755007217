// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// The words of a command line taken in order, as getopt_long takes them, before the parser turns
// them into options: "--name=" gives the empty value and never takes the next word, a value is
// taken whole even when it starts with a dash, --help counts where it stands, and an option given
// twice or a flag given a value is named as the mistake it is.
namespace quillmere::cli {

// One option of a command, as the walk through the words needs it.
struct OptionWord {
  std::vector<std::string> longNames; // without the dashes; the first one names the option
  std::string shortNames;             // the letters of its one-letter names
  bool takesValue = false;            // false for a flag
  std::string emptyValue;  // for a value that must not be empty, what it names: "a file name"
  bool endsWords = false;  // --help, --version: the words after it do not count
  bool valueAfterEquals = false; // a flag that may take a value, only after "=" ("--color=never")
};

// A command and its options; the program itself is the command without a name.
struct CommandWords {
  std::string name;
  std::vector<OptionWord> options;
};

struct WalkedWords {
  // The words for the parser: every value given as one word "--name=value" (an empty one as
  // "--name" and ""), the rest as given. Ended by a flag that ends the words, they are the command
  // and that flag alone. From an unknown option or command on, the words are left as they are,
  // for the parser to name.
  std::vector<std::string> words;
  // The first mistake, as "--output needs a file name", "--message was given twice", "--bits takes
  // no value" or "option --message needs a value"; empty when there is none.
  std::string mistake;
};

// Walks `words`, the arguments after the program's name, for the program `program`, whose first
// word that is not an option chooses one of `commands`. Repeated flags are allowed; a value option
// given twice is a mistake. Everything after "--" is left as it is.
WalkedWords WalkOptionWords(const std::vector<std::string>& words, const CommandWords& program,
                            const std::vector<CommandWords>& commands);

} // namespace quillmere::cli
