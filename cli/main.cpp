#include "commands.hpp"
#include "text_files.hpp"

#include <quillmere/version.hpp>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>

namespace {

using quillmere::cli::Encoding;

void AddEncodingOption(CLI::App& command, Encoding& encoding) {
  const std::map<std::string, Encoding> names{{"utf-8", Encoding::Utf8},
                                              {"windows-1252", Encoding::Windows1252}};
  command
      .add_option("--encoding", encoding,
                  "Coding of the files and streams read and written (default utf-8)")
      ->transform(CLI::CheckedTransformer(names, CLI::ignore_case).description(""))
      ->type_name("utf-8|windows-1252");
}

void PrintWarning(std::string_view line) {
  std::fprintf(stderr, "quillmere-text: warning: %.*s\n", static_cast<int>(line.size()),
               line.data());
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
  CLI::App app{
      "Hides a message in the spaces of a text: an ordinary space is bit 0, a no-break "
      "space bit 1, eight bits per Windows-1252 character. Files default to standard "
      "input and output. Exit status: 0 done, 1 failed (nothing written), 100 and above "
      "command line errors.",
      "quillmere-text"};
  app.set_version_flag("--version", std::string("quillmere-text ") + quillmere::kVersion);
  app.require_subcommand(1);

  cli::HideOptions hide;
  std::string messageArgument;
  std::string messageFile;
  CLI::App* hideCommand = app.add_subcommand("hide", "Write the cover with the message hidden");
  CLI::Option_group* message = hideCommand->add_option_group("message", "What to hide");
  message->add_option("-m,--message", messageArgument, "The message (UTF-8)");
  message->add_option("--message-file", messageFile, "File holding the message, taken as is");
  message->require_option(1);
  hideCommand->add_option("cover", hide.coverPath, "Cover text file (default standard input)");
  hideCommand->add_option("-o,--output", hide.outputPath,
                          "Output file, may be the cover itself (default standard output)");
  hideCommand->add_flag("--truncate", hide.truncate,
                        "Hide only what fits instead of failing on too long a message");
  hideCommand->add_flag("--force", hide.force,
                        "With --encoding windows-1252, hide even in a cover that reads as UTF-8");
  AddEncodingOption(*hideCommand, hide.encoding);

  cli::RevealOptions reveal;
  CLI::App* revealCommand =
      app.add_subcommand("reveal", "Print the hidden message, up to its first U+0000 character");
  revealCommand->add_option("stego", reveal.stegoPath, "Text file (default standard input)");
  revealCommand->add_flag("--bits", reveal.bits, "Print the bit string of all gaps instead");
  AddEncodingOption(*revealCommand, reveal.encoding);

  cli::CapacityOptions capacity;
  CLI::App* capacityCommand =
      app.add_subcommand("capacity", "Print the gaps of a cover and the characters that fit");
  capacityCommand->add_option("cover", capacity.coverPath, "Text file (default standard input)");
  AddEncodingOption(*capacityCommand, capacity.encoding);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return CheckedExit(app.exit(error));
  }

  try {
    if (hideCommand->parsed()) {
      hide.message =
          message->count("--message-file") > 0
              ? cli::DecodeText(cli::InputBytes(messageFile).View(), hide.encoding, messageFile)
              : cli::DecodeText(messageArgument, Encoding::Utf8, "the message",
                                cli::ByteSource::Argument);
      cli::RunHide(hide, PrintWarning);
    } else if (revealCommand->parsed()) {
      cli::RunReveal(reveal);
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
