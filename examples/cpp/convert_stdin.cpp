// Converts MarkdownV2 text read from standard input and prints the Flex
// message JSON: the library used from C++, without Python.
#include <quenra.hpp>

#include <iostream>
#include <iterator>
#include <string>

int main() {
    const std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    std::cout << quenra::quenra_json_with_options(text, {.standalone_links_as_buttons = true, .decorate_links = true})
              << '\n';
}
