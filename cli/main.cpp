// SPDX-License-Identifier: MIT
#include "commands.hpp"
#include "option_words.hpp"
#include "platform.hpp"
#include "show_clean.hpp"
#include "text_files.hpp"

#include <quillmere/version.hpp>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using quillmere::TextEncoding;

constexpr int kUsageMistake = 2;

// Returns true for a flag that may take a value after "=", declared with its value when alone
// ("--color{always}").
bool TakesValueAfterEquals(const CLI::Option* option) {
  return option->get_name(false, true).find('{') != std::string::npos;
}

// Help in the usual order: the usage line, then what the command does, then its arguments and
// options, each line within 80 columns.
class HelpFormatter : public CLI::Formatter {
public:
  HelpFormatter() {
    column_width(24);
    label("SUBCOMMAND", "COMMAND");
    label("Positionals", "Arguments");
  }

  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) {
      return make_expanded(app);
    }
    const std::string footer = make_footer(app);
    return make_usage(app, std::move(name)) + "\n" + make_description(app) + make_positionals(app) +
           make_groups(app, mode) + make_subcommands(app, mode) +
           (footer.empty() ? "" : "\n" + footer);
  }

  // A flag that may take a value after "=" ("--color{always}") shows as "--color[=WHEN]", with
  // its type name inside the name rather than after it.
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(option, positional);
    if (TakesValueAfterEquals(option)) {
      name = name.substr(0, name.find('{')) + "[=" + option->get_type_name() + "]";
    }
    return name;
  }

  std::string make_option_opts(const CLI::Option* option) const override {
    return TakesValueAfterEquals(option) ? std::string() : CLI::Formatter::make_option_opts(option);
  }
};

// Returns the coding named `name`: utf-8, windows-1252 or its other name cp1252, in any case.
// Throws CLI::ValidationError for any other name, numbers included.
TextEncoding EncodingNamed(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "utf-8") {
    return TextEncoding::Utf8;
  }
  if (lower == "windows-1252" || lower == "cp1252") {
    return TextEncoding::Windows1252;
  }
  throw CLI::ValidationError("unknown encoding '" + name + "' (choose utf-8 or windows-1252)");
}

void AddEncodingOption(CLI::App& command, TextEncoding& encoding) {
  command
      .add_option_function<std::string>(
          "--encoding", [&encoding](const std::string& name) { encoding = EncodingNamed(name); },
          "Coding of the texts: utf-8 (default) or windows-1252")
      ->type_name("NAME");
}

// Returns what is wrong with the command line, in the tool's words rather than the parser's.
std::string DescribeMistake(const CLI::App& app, const CLI::ParseError& error) {
  const std::vector<std::string> extras = app.remaining(true);
  const bool commandGiven = !app.get_subcommands().empty();
  const bool extraIsOption =
      !extras.empty() && extras.front().size() > 1 && extras.front()[0] == '-';
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !commandGiven) {
    if (extras.empty()) {
      return "no command given (choose hide, reveal, capacity, show or clean)";
    }
    return (extraIsOption ? "unknown option '" : "unknown command '") + extras.front() + "'";
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && !extras.empty()) {
    return (extraIsOption ? "unknown option '" : "unexpected argument '") + extras.front() + "'";
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    const std::string what = error.what();
    return "option " + what.substr(0, what.find(':')) + " needs a value";
  }
  return error.what();
}

// Returns the options of `command` as the walk through the words needs them. A value named FILE or
// NAME must not be empty; any other value, such as a message, may be.
quillmere::cli::CommandWords WordsOf(const CLI::App& command) {
  quillmere::cli::CommandWords words{command.get_parent() != nullptr ? command.get_name() : "", {}};
  for (const CLI::Option* option : command.get_options()) {
    if (!option->nonpositional()) {
      continue;
    }
    quillmere::cli::OptionWord word;
    word.longNames = option->get_lnames();
    for (const std::string& name : option->get_snames()) {
      word.shortNames += name;
    }
    word.takesValue = option->get_items_expected_max() > 0;
    const std::string type = option->get_type_name();
    word.emptyValue = type == "FILE" ? "a file name" : type == "NAME" ? "an encoding name" : "";
    word.endsWords = option == command.get_help_ptr() || option == command.get_version_ptr();
    word.valueAfterEquals = TakesValueAfterEquals(option);
    words.options.push_back(std::move(word));
  }
  return words;
}

void PrintWarning(std::string_view line) {
  std::fprintf(stderr, "quillmere-text: warning: %.*s\n", static_cast<int>(line.size()),
               line.data());
}

void PrintNote(std::string_view line) {
  std::fprintf(stderr, "quillmere-text: %.*s\n", static_cast<int>(line.size()), line.data());
}

// Returns `status`, or 1 with a message when what went to standard output through the C and C++
// streams (help, version) did not reach it, as on a full disk or a closed output.
int CheckedExit(int status) {
  std::cout.flush();
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int cause = errno;
  if (flushed && std::cout && std::ferror(stdout) == 0) {
    return status;
  }
  std::fprintf(stderr, "quillmere-text: standard output: write error%s%s\n", cause != 0 ? ": " : "",
               cause != 0 ? std::strerror(cause) : "");
  return status == 0 ? 1 : status;
}

} // namespace

int main(int argc, char** argv) {
  namespace cli = quillmere::cli;
  cli::Utf8Arguments arguments(argc, argv);
  cli::PrepareStandardStreams();
  CLI::App app{
      "Hides a message in the spaces of a text: an ordinary space is bit 0, a\n"
      "no-break space bit 1, eight bits per Windows-1252 character. FILE arguments\n"
      "default to standard input and output.",
      "quillmere-text"};
  app.formatter(std::make_shared<HelpFormatter>());
  app.get_help_ptr()->description("Print this help and exit");
  app.set_version_flag("--version",
                       std::string("quillmere-text ") + quillmere::kVersion +
                           "\nCopyright (c) The quillmere developers\n"
                           "Free software under the MIT License; there is no warranty.",
                       "Print the version and the licence and exit");
  app.require_subcommand(1);

  cli::HideOptions hide;
  std::string messageArgument;
  std::string messageFile;
  CLI::App* hideCommand =
      app.add_subcommand("hide", "Write the text with the message hidden in it");
  CLI::Option* messageOption =
      hideCommand->add_option("-m,--message", messageArgument, "The message to hide");
  CLI::Option* messageFileOption = hideCommand->add_option(
      "--message-file", messageFile, "File holding the message, taken as it is");
  messageFileOption->type_name("FILE");
  hideCommand
      ->add_option("FILE", hide.coverPath, "Text to hide the message in (default: standard input)")
      ->type_name("");
  hideCommand
      ->add_option("-o,--output", hide.outputPath,
                   "Output, may be FILE itself (default: standard output)")
      ->type_name("FILE");
  hideCommand->add_flag("--truncate", hide.settings.truncate,
                        "Hide what fits instead of failing on too long a message");
  hideCommand->add_flag("--force", hide.settings.force,
                        "With windows-1252, hide even in a text that is UTF-8");
  AddEncodingOption(*hideCommand, hide.settings.encoding);
  hideCommand->callback([&] {
    if (messageOption->count() + messageFileOption->count() != 1) {
      throw CLI::ValidationError("hide needs one message: -m TEXT or --message-file FILE");
    }
    if (messageFileOption->count() > 0 && cli::IsStandardStream(messageFile) &&
        cli::IsStandardStream(hide.coverPath)) {
      throw CLI::ValidationError(
          "the message and the cover cannot both come from standard input");
    }
  });

  cli::RevealOptions reveal;
  CLI::App* revealCommand =
      app.add_subcommand("reveal", "Print the message hidden in a text, up to a U+0000");
  revealCommand
      ->add_option("FILE", reveal.stegoPath, "Text with a hidden message (default: standard input)")
      ->type_name("");
  revealCommand->add_flag("--bits", reveal.bits, "Print the bits of all the gaps instead");
  AddEncodingOption(*revealCommand, reveal.encoding);

  cli::CapacityOptions capacity;
  CLI::App* capacityCommand =
      app.add_subcommand("capacity", "Print the gaps of a text and the characters that fit");
  capacityCommand
      ->add_option("FILE", capacity.coverPath, "Text to measure (default: standard input)")
      ->type_name("");
  AddEncodingOption(*capacityCommand, capacity.encoding);

  cli::ShowOptions show;
  std::string colourName;
  CLI::App* showCommand =
      app.add_subcommand("show", "Print the text with the gaps that hold a 1 made visible");
  showCommand->add_option("FILE", show.path, "Text to show (default: standard input)")
      ->type_name("");
  showCommand->add_flag("--marks", show.marks,
                        "Mark a 1 as U+00B7, a middle dot, also on a terminal");
  // --color alone is --color=always, as with GNU ls; a value is given only after "=".
  CLI::Option* colourOption =
      showCommand
          ->add_flag("--color{always}", colourName,
                     "Mark a 1 in colour: auto (on a terminal), always, never")
          ->type_name("WHEN");
  AddEncodingOption(*showCommand, show.encoding);
  showCommand->callback([&] {
    if (colourOption->count() > 0) {
      const auto when = cli::ColourWhenNamed(colourName);
      if (!when) {
        throw CLI::ValidationError("unknown --color value '" + colourName +
                                   "' (choose auto, always or never)");
      }
      show.colour = *when;
    }
  });

  cli::CleanOptions clean;
  CLI::App* cleanCommand =
      app.add_subcommand("clean", "Write the text with its no-break spaces made plain");
  cleanCommand->add_option("FILE", clean.inputPath, "Text to clean (default: standard input)")
      ->type_name("");
  cleanCommand
      ->add_option("-o,--output", clean.outputPath,
                   "Output, may be FILE itself (default: standard output)")
      ->type_name("FILE");
  cleanCommand->add_flag("--force", clean.force,
                         "With windows-1252, clean even a text that is UTF-8");
  AddEncodingOption(*cleanCommand, clean.encoding);

  for (CLI::App* command :
       {hideCommand, revealCommand, capacityCommand, showCommand, cleanCommand}) {
    command->group("Commands");
  }
  app.footer(
      "Exit status: 0 done, 1 failed (nothing written), 2 command-line mistake,\n"
      "3 no hidden message found (reveal, show), 128+N ended by signal N.");

  const auto mistake = [](const std::string& what) {
    std::fprintf(stderr, "quillmere-text: %s\nTry 'quillmere-text --help' for more information.\n",
                 what.c_str());
    return kUsageMistake;
  };
  // The words are walked in order first, as getopt_long takes them, which the parser alone does
  // not: it would fill an empty "--output=" from the next word.
  std::vector<cli::CommandWords> commands;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    commands.push_back(WordsOf(*command));
  }
  cli::WalkedWords walked = cli::WalkOptionWords(
      std::vector<std::string>(arguments.Values() + 1, arguments.Values() + arguments.Count()),
      WordsOf(app), commands);
  if (!walked.mistake.empty()) {
    return mistake(walked.mistake);
  }
  std::vector<char*> words{arguments.Values()[0]};
  for (std::string& word : walked.words) {
    words.push_back(word.data());
  }
  try {
    app.parse(static_cast<int>(words.size()), words.data());
  } catch (const CLI::Success& done) {
    return CheckedExit(app.exit(done));
  } catch (const CLI::ParseError& error) {
    return mistake(DescribeMistake(app, error));
  }

  try {
    if (hideCommand->parsed()) {
      hide.message = messageFileOption->count() > 0
                         ? cli::MessageFromFile(messageFile, hide.settings.encoding)
                         : cli::MessageFromArgument(messageArgument);
      cli::RunHide(hide, PrintWarning);
    } else if (revealCommand->parsed()) {
      cli::RunReveal(reveal);
    } else if (showCommand->parsed()) {
      cli::RunShow(show, PrintNote);
    } else if (cleanCommand->parsed()) {
      cli::RunClean(clean, PrintNote);
    } else {
      cli::RunCapacity(capacity);
    }
  } catch (const cli::NoHiddenMessage& nothing) {
    std::fprintf(stderr, "quillmere-text: %s\n", nothing.what());
    return CheckedExit(3);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillmere-text: %s\n", error.what());
    return 1;
  }
  return CheckedExit(0);
}
