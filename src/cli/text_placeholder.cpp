// Placeholder so the command-line library has a source until its files land.
namespace mel {
int cli_library_anchor() { return 0; }
}  // namespace mel
