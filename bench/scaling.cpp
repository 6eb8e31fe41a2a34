// Times conversions of the hostile text families at growing sizes, with the
// library's indexed searches, and scans with the straightforward searches
// beside them while those finish in reasonable time; and `split` of the same
// families and of texts that LINE's limits make it cut and repair. Prints one
// JSON object per measurement, for bench/run.py to tabulate (or for people to
// read).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "convert/strip.hpp"
#include "parser/search.hpp"
#include "hostile_texts.hpp"
#include <quenra.hpp>

namespace {

using Clock = std::chrono::steady_clock;

// Best of `repeats` runs of `work`, in seconds.
template <class Work>
double best_time(int repeats, Work&& work) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Minor page faults of the process so far: pages it touched for the first
// time, each zeroed by the system.
long minor_faults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Times of the straightforward scan at the benchmark's sizes, each measured
// only when its time, predicted from the growth between two smaller sizes,
// stays within `budget` seconds; -1 where it was not measured.
std::vector<double> reference_scan_times(const quenra::testing::HostileFamily& family,
                                         const std::vector<std::size_t>& sizes, double budget) {
    const auto time_at = [&](std::size_t size) {
        const std::string text = quenra::testing::hostile_text(family, size);
        return best_time(1, [&] { (void)quenra::strip_markdown<quenra::ReferenceSearch>(text); });
    };
    double previous = time_at(sizes.front() / 16);
    double current = time_at(sizes.front() / 4);
    std::vector<double> times;
    for (const std::size_t size : sizes) {
        const double growth = std::max(current / std::max(previous, 1e-9), 4.0);
        if (current * growth > budget) {
            times.push_back(-1);
            continue;
        }
        previous = current;
        current = time_at(size);
        times.push_back(current);
    }
    return times;
}

// Texts that make `split` repair or cut at every step.
const std::vector<quenra::testing::HostileFamily>& delivery_families() {
    static const std::vector<quenra::testing::HostileFamily> families{
        {"one long word", "a", ""},
        {"one grapheme cluster", "\u0301", "e"},
        {"links LINE refuses", "[a](u) ", ""},
        {"custom emoji", "![\U0001F600](tg://emoji?id=1)", ""},
        {"digest lines", "[Story](https://e.com/s)\n", ""},
        {"blank lines", "\n\n", "x"},
        {"paragraphs", "Lorem ipsum dolor sit amet, consectetur.\n\n", ""},
        // Multibyte plain text, cut without white space or between sentences.
        {"Japanese plain text", "今日は良い天気ですね。明日も晴れるでしょう。", ""},
        {"Thai plain text", "วันนี้อากาศดีมาก พรุ่งนี้ก็จะดีเหมือนกัน ", ""},
    };
    return families;
}

}  // namespace

// `--convert FAMILY SIZE TIMES`: converts the family's text (or, for the
// family "chat corpus", the messages of the corpus file named by SIZE) TIMES
// times and prints the bytes of input and output of one round, for counting
// instructions under callgrind (the difference of two counts is the cost of
// the rounds between them, without the setup's).
int convert_rounds(const std::string& family_name, const std::string& size_or_file, int times) {
    std::vector<std::string> texts;
    if (family_name == "chat corpus") {
        std::FILE* file = std::fopen(size_or_file.c_str(), "rb");
        if (!file) return 1;
        std::string corpus;
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) corpus.append(chunk, got);
        std::fclose(file);
        for (std::size_t start = 0;;) {
            const std::size_t end = corpus.find("\n---\n", start);
            std::string message = corpus.substr(start, end - start);
            while (!message.empty() && message.front() == '\n') message.erase(0, 1);
            while (!message.empty() && message.back() == '\n') message.pop_back();
            texts.push_back(message);
            if (end == std::string::npos) break;
            start = end + 5;
        }
    } else {
        for (const auto& family : quenra::testing::hostile_families()) {
            if (family.name == family_name) texts.push_back(quenra::testing::hostile_text(family, std::stoul(size_or_file)));
        }
        if (texts.empty()) return 1;
    }
    std::size_t input = 0, output = 0;
    for (int round = 0; round < times; ++round) {
        input = output = 0;
        for (const std::string& text : texts) {
            input += text.size();
            output += quenra::quenra_json_with_options(text, {true, true}).size();
        }
    }
    std::printf("{\"input_bytes\":%zu,\"output_bytes\":%zu}\n", input, output);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--convert") return convert_rounds(argv[2], argv[3], std::stoi(argv[4]));
    const double reference_budget = argc > 1 ? std::stod(argv[1]) : 20.0;
    const std::vector<std::size_t> sizes{64 << 10, 256 << 10, 1 << 20};
    const quenra::ConvertOptions options{true, true};

    for (const auto& family : quenra::testing::hostile_families()) {
        const std::vector<double> reference = reference_scan_times(family, sizes, reference_budget);
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const std::string text = quenra::testing::hostile_text(family, sizes[i]);
            std::size_t output_size = 0;
            const double convert = best_time(3, [&] {
                output_size = quenra::quenra_json_with_options(text, options).size();
            });
            const long faults_before = minor_faults();
            (void)quenra::quenra_json_with_options(text, options);
            const long faults = minor_faults() - faults_before;
            const double scan = best_time(3, [&] { (void)quenra::strip_markdown<quenra::IndexedSearch>(text); });
            std::size_t parts = 0;
            const double split = best_time(2, [&] { parts = quenra::split(text, options).size(); });
            std::printf(
                "{\"family\":%s,\"size\":%zu,\"convert_s\":%.6g,\"scan_s\":%.6g,\"reference_scan_s\":%.6g,"
                "\"output_bytes\":%zu,\"split_s\":%.6g,\"parts\":%zu,\"faults\":%ld}\n",
                json_string(family.name).c_str(), text.size(), convert, scan, reference[i], output_size, split, parts,
                faults);
            std::fflush(stdout);
        }
    }
    for (const auto& family : delivery_families()) {
        for (const std::size_t size : sizes) {
            const std::string text = quenra::testing::hostile_text(family, size);
            const double convert = best_time(3, [&] { (void)quenra::quenra_json_with_options(text, options); });
            std::size_t parts = 0;
            const double split = best_time(2, [&] { parts = quenra::split(text, options).size(); });
            std::printf("{\"delivery\":%s,\"size\":%zu,\"convert_s\":%.6g,\"split_s\":%.6g,\"parts\":%zu}\n",
                        json_string(family.name).c_str(), text.size(), convert, split, parts);
            std::fflush(stdout);
        }
    }
}
