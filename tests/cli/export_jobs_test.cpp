#include "cli/export_jobs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace nrbx::cli;

namespace {

class BatchPlan : public nrbx::testing::CoreTest {
  protected:
    Options options(std::vector<std::string> patterns) {
        Options o;
        o.patterns = std::move(patterns);
        return o;
    }
    std::string path(const std::string& name) const { return file(name).string(); }
    void touch(const std::string& name) const { nrbx::testing::writeBytes(file(name), {1, 2, 3}); }
};

}  // namespace

TEST_F(BatchPlan, OutputsBesideInputsOrInTheFolder) {
    Options o = options({"dir/a.pcg", "b", "x/.hidden", "c.tar.pat"});
    Plan plan = planJobs(o);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(plan.jobs[0], (Job{"dir/a.pcg", "dir/a.bmp", Format::Bmp, {}}));
    EXPECT_EQ(plan.jobs[1].output, "b.bmp");
    EXPECT_EQ(plan.jobs[2].output, "x/.hidden.bmp");
    EXPECT_EQ(plan.jobs[3].output, "c.tar.bmp");

    o.outputDir = dir().string();
    o.format = Format::Png;
    plan = planJobs(o);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(plan.jobs[0], (Job{"dir/a.pcg", path("a.png"), Format::Png, {}}));
    EXPECT_EQ(plan.jobs[1].output, path("b.png"));
}

TEST_F(BatchPlan, FormatFromOptionThenOutputName) {
    Options o = options({"a.pcg"});
    EXPECT_EQ(formatFor(o, "x.PNG"), Format::Png);
    EXPECT_EQ(formatFor(o, "x.png.bmp"), Format::Bmp);
    EXPECT_EQ(formatFor(o, "x.dat"), Format::Bmp);
    EXPECT_EQ(formatFor(o, "png"), Format::Bmp);
    o.format = Format::Png;
    EXPECT_EQ(formatFor(o, "x.bmp"), Format::Png);  // the name stays as given, as the window keeps it
    o.format.reset();
    o.output = "pic.Png";
    EXPECT_EQ(planJobs(o).jobs.at(0), (Job{"a.pcg", "pic.Png", Format::Png, {}}));
}

TEST_F(BatchPlan, OutputFolderMustExist) {
    Options o = options({"a.pcg"});
    o.outputDir = path("missing");
    EXPECT_EQ(planJobs(o).error, "output folder '" + path("missing") + "' does not exist");
    touch("plain");
    o.outputDir = path("plain");
    EXPECT_EQ(planJobs(o).error, "'" + path("plain") + "' is not a folder");
}

TEST_F(BatchPlan, TwoInputsOnOneOutputAreRefused) {
    Options o = options({"p/a.pcg", "q/a.dat"});
    o.outputDir = dir().string();
    EXPECT_EQ(planJobs(o).error, "'p/a.pcg' and 'q/a.dat' would both be written to '" + path("a.bmp") + "'");
    // The same file spelled two ways is still one output.
    Options same = options({"a.pcg", "./a.pcg"});
    EXPECT_NE(planJobs(same).error, "");
    Options fine = options({"p/a.pcg", "q/a.dat"});
    EXPECT_EQ(planJobs(fine).error, "");
}

TEST_F(BatchPlan, AnOutputNeverReplacesAnInputOrThePalette) {
    touch("a.bmp");  // a pattern file that happens to be named .bmp
    touch("b.pcg");
    touch("c.pal");
    Options o = options({path("a.bmp")});
    EXPECT_EQ(planJobs(o).error,
              "output '" + path("a.bmp") + "' would replace the input '" + path("a.bmp") + "'");

    // b.pcg's output is a.bmp, which is read as the other input.
    Options other = options({path("b.pcg"), path("a.bmp")});
    other.outputDir = dir().string();
    EXPECT_NE(planJobs(other).error.find("would replace the input '" + path("a.bmp") + "'"),
              std::string::npos);

    Options pal = options({path("b.pcg")});
    pal.palette = path("c.pal");
    pal.output = path("c.pal");
    EXPECT_EQ(planJobs(pal).error,
              "output '" + path("c.pal") + "' would replace the palette file '" + path("c.pal") + "'");

    // Through a link too.
    fs::create_symlink(file("b.pcg"), file("link.bmp"));
    Options linked = options({path("b.pcg")});
    linked.output = path("link.bmp");
    EXPECT_NE(planJobs(linked).error, "");

    // An existing earlier output is simply replaced.
    touch("b.bmp");
    EXPECT_EQ(planJobs(options({path("b.pcg")})).error, "");
}
