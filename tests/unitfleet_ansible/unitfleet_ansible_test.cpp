// SPDX-License-Identifier: Apache-2.0
// A playbook over ten simulated units, run by ansible-playbook as an
// administrator would: inventory through our script, forks 10, connection
// local, the unit_modes module. Ansible runs offline in a network namespace
// of the test's own, with every setting and temporary folder in the test's
// folder, so the machine's user configuration plays no part.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kUnits = 10;
constexpr int kRefusing = 9;  // refuses sets of POSTimeout

const char* const kPlaybook = R"(- hosts: all
  connection: local
  gather_facts: false
  tasks:
    - name: shop settings
      unit_modes:
        address: "{{ ansible_host }}"
        modes:
          POSTimeout: 25
          TextReset: Ansible
        commit: true
        timeout: 20
)";

class Playbook : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why))
            GTEST_SKIP() << why;
        if (::access(ANSIBLE_PLAYBOOK_BIN, X_OK) != 0)
            GTEST_SKIP() << "ansible-core is not installed";
        dir_ = support::makeTempDir("unitfleet-ansible");
        fs::create_directories(dir_ + "/library");
        fs::copy_file(UNIT_MODES_BIN, dir_ + "/library/unit_modes");
        support::writeFile(dir_ + "/ansible.cfg", "");
        support::writeFile(dir_ + "/play.yml", kPlaybook);
        std::string inventory;
        for (int i = 0; i < kUnits; ++i)
            inventory += address(i) + " " + name(i) + (i < 5 ? " north" : " south") + "\n";
        support::writeFile(dir_ + "/fleet.txt", inventory);
        sim_ = std::make_unique<support::Background>(std::vector<std::string>{
            UNITSIM_BIN, "--address", address(0) + "-" + address(kUnits - 1), "--journal",
            dir_ + "/journal-%a", "--every", "10+9", "--refuse", "POSTimeout"});
        ASSERT_TRUE(sim_->waitForOutput("10 units listening", 10s)) << sim_->stop().err;
    }
    void TearDown() override {
        sim_.reset();
        if (!dir_.empty())
            fs::remove_all(dir_);
    }

    static std::string address(int i) { return "127.27.3." + std::to_string(i + 1); }
    static std::string name(int i) { return "unit-" + std::to_string(i); }
    std::string journal(int i) { return support::readFile(dir_ + "/journal-" + address(i)); }

    struct Run {
        support::RunResult process;
        std::map<std::string, nlohmann::json> hosts;  // each host's task result
        double seconds = 0;
    };

    // One ansible-playbook run; `tag` names its result folder.
    Run playbook(const std::string& tag, std::vector<std::string> extra = {}) {
        std::string home = dir_ + "/home";
        std::vector<std::string> argv{"/usr/bin/env",
                                      "-i",
                                      "PATH=/usr/bin:/bin",
                                      "HOME=" + home,
                                      "LANG=C.UTF-8",
                                      "ANSIBLE_CONFIG=" + dir_ + "/ansible.cfg",
                                      "ANSIBLE_HOME=" + home + "/.ansible",
                                      "ANSIBLE_LOCAL_TEMP=" + home + "/tmp",
                                      "ANSIBLE_REMOTE_TEMP=" + home + "/remote-tmp",
                                      "ANSIBLE_LIBRARY=" + dir_ + "/library",
                                      "ANSIBLE_INVENTORY_ENABLED=script",
                                      "ANSIBLE_FORKS=10",
                                      "ANSIBLE_GATHERING=explicit",
                                      "ANSIBLE_RETRY_FILES_ENABLED=False",
                                      "ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3",
                                      "ANSIBLE_NOCOLOR=1",
                                      "ANSIBLE_LOCALHOST_WARNING=False",
                                      "ANSIBLE_DEPRECATION_WARNINGS=False",
                                      "ANSIBLE_CALLBACKS_ENABLED=tree",
                                      "ANSIBLE_CALLBACK_TREE_DIR=" + dir_ + "/results-" + tag,
                                      "UNITFLEET=" UNITFLEET_BIN,
                                      "UNITFLEET_INVENTORY=" + dir_ + "/fleet.txt",
                                      ANSIBLE_PLAYBOOK_BIN,
                                      "-i",
                                      INVENTORY_SCRIPT,
                                      "play.yml"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        support::RunOptions options;
        options.workingDirectory = dir_;
        options.timeout = 120000ms;
        Run run;
        auto start = std::chrono::steady_clock::now();
        run.process = support::run(argv, options);
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (int i = 0; i < kUnits; ++i) {
            std::string text = support::readFile(dir_ + "/results-" + tag + "/" + name(i));
            run.hosts[name(i)] = nlohmann::json::parse(text, nullptr, false);
        }
        std::printf("ansible-playbook %s over %d units: %.1f s\n", tag.c_str(), kUnits,
                    run.seconds);
        return run;
    }

    // The recap line of a host: "ok=1    changed=1 ..." squeezed to single blanks.
    static std::string recap(const Run& run, const std::string& host) {
        const std::string& out = run.process.out;
        std::size_t at = out.find("PLAY RECAP");
        at = out.find("\n" + host + " ", at);
        if (at == std::string::npos)
            return "no recap for " + host;
        std::string line = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
        std::string squeezed;
        for (char c : line.substr(line.find(':') + 1)) {
            if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' '))
                squeezed += c;
        }
        return squeezed.substr(0, squeezed.find(" unreachable"));
    }

    std::string dir_;
    std::unique_ptr<support::Background> sim_;
};

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(Playbook, CheckModeShowsTheDiffThenRealRunsSetOnceAndARefusalFailsAlone) {
    Run check = playbook("check", {"--check", "--diff"});
    EXPECT_EQ(check.process.status, 0) << check.process.out << check.process.err;
    for (int i = 0; i < kUnits; ++i) {
        SCOPED_TRACE(name(i));
        EXPECT_EQ(recap(check, name(i)), "ok=1 changed=1");
        const nlohmann::json& host = check.hosts[name(i)];
        ASSERT_TRUE(host.is_object());
        EXPECT_EQ(host["changes"][0],
                  nlohmann::json({{"after", "25"}, {"before", "10"}, {"mode", "POSTimeout"}}));
        // Ansible prints the module's diff as a unified diff per host.
        std::string diff = "--- before: " + address(i) + " (unit)\n+++ after: " + address(i) +
                           " (task)\n@@ -1,2 +1,2 @@\n-POSTimeout = 10\n-TextReset = Please scan "
                           "an item\n+POSTimeout = 25\n+TextReset = Ansible\n";
        EXPECT_NE(check.process.out.find(diff), std::string::npos) << check.process.out;
        EXPECT_EQ(journal(i).find("recv MDSQ \"POSTimeout ="), std::string::npos);
        EXPECT_EQ(journal(i).find("COMMIT"), std::string::npos);
    }

    Run real = playbook("real");
    EXPECT_EQ(real.process.status, 2) << real.process.out << real.process.err;
    for (int i = 0; i < kUnits; ++i) {
        SCOPED_TRACE(name(i));
        const nlohmann::json& host = real.hosts[name(i)];
        ASSERT_TRUE(host.is_object());
        if (i == kRefusing) {
            EXPECT_EQ(recap(real, name(i)), "ok=0 changed=0");
            // (The saved result leaves "failed" out; the recap counts it.)
            EXPECT_NE(real.process.out.find("fatal: [" + name(i) + "]: FAILED!"),
                      std::string::npos);
            EXPECT_EQ(host["msg"], "refused mode POSTimeout: Mode POSTimeout refused the value");
            EXPECT_EQ(journal(i).find("COMMIT"), std::string::npos);
            continue;
        }
        EXPECT_EQ(recap(real, name(i)), "ok=1 changed=1");
        EXPECT_EQ(host["committed"], true);
        EXPECT_EQ(count(journal(i), "recv MDSQ \"POSTimeout = 25\""), 1u);
        EXPECT_EQ(count(journal(i), "recv MDSQ \"COMMIT=TRUE\""), 1u);
    }

    Run again = playbook("again");
    EXPECT_EQ(again.process.status, 2) << again.process.out;
    for (int i = 0; i < kUnits; ++i) {
        if (i == kRefusing)
            continue;
        SCOPED_TRACE(name(i));
        // Nothing to set, and no change; commit: true commits all the
        // same, since a value an earlier run left uncommitted looks alike.
        EXPECT_EQ(recap(again, name(i)), "ok=1 changed=0");
        EXPECT_EQ(again.hosts[name(i)]["msg"], "committed, nothing to set");
        EXPECT_EQ(count(journal(i), "recv MDSQ \"POSTimeout = 25\""), 1u);
        EXPECT_EQ(count(journal(i), "recv MDSQ \"COMMIT=TRUE\""), 2u);
    }
    EXPECT_EQ(recap(again, name(kRefusing)), "ok=0 changed=0");
}

TEST(AnsibleInventory, ScriptListsGroupsHostsAndAddresses) {
    std::string dir = support::makeTempDir("unitfleet-inventory");
    support::writeFile(dir + "/fleet.txt",
                       "127.27.4.1 till-01 north tills\n127.27.4.2\n127.27.4.3 till-03 tills\n");
    auto inventory = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/env", "UNITFLEET=" UNITFLEET_BIN,
                                   "UNITFLEET_INVENTORY=" + dir + "/fleet.txt", INVENTORY_SCRIPT});
        return support::run(args);
    };
    support::RunResult list = inventory({"--list"});
    ASSERT_EQ(list.status, 0) << list.err;
    nlohmann::json doc = nlohmann::json::parse(list.out);
    EXPECT_EQ(doc["north"]["hosts"], nlohmann::json({"till-01"}));
    EXPECT_EQ(doc["tills"]["hosts"], nlohmann::json({"till-01", "till-03"}));
    EXPECT_EQ(doc["ungrouped"]["hosts"], nlohmann::json({"127.27.4.2"}));
    EXPECT_EQ(doc["_meta"]["hostvars"]["till-03"]["ansible_host"], "127.27.4.3");
    support::RunResult host = inventory({"--host", "till-01"});
    EXPECT_EQ(nlohmann::json::parse(host.out)["ansible_host"], "127.27.4.1");
    EXPECT_EQ(inventory({"--host", "nobody"}).out, "{}\n");
    support::writeFile(dir + "/fleet.txt", "127.27.4.1 a\n127.27.4.1 b\n");
    support::RunResult bad = inventory({"--list"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("already listed"), std::string::npos) << bad.err;
    fs::remove_all(dir);
}

}  // namespace

namespace {

// The module run as Ansible runs it, without Ansible: one arguments file.
class ModuleAlone : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = support::makeTempDir("unit-modes");
        sim_ = std::make_unique<support::Background>(std::vector<std::string>{
            UNITSIM_BIN, "--address", "127.27.5.1", "--journal", dir_ + "/journal"});
        ASSERT_TRUE(sim_->waitForOutput("listening", 10s)) << sim_->stop().err;
    }
    void TearDown() override {
        sim_.reset();
        fs::remove_all(dir_);
    }
    nlohmann::json module(const std::string& args, int expectedStatus = 0) {
        support::writeFile(dir_ + "/args", args);
        support::RunResult r = support::run({UNIT_MODES_BIN, dir_ + "/args"});
        EXPECT_EQ(r.status, expectedStatus) << r.out << r.err;
        return nlohmann::json::parse(r.out, nullptr, false);
    }
    std::string dir_;
    std::unique_ptr<support::Background> sim_;
};

TEST_F(ModuleAlone, FactsCheckModeAndBackupDir) {
    nlohmann::json facts = module(R"({"address": "127.27.5.1"})");
    EXPECT_EQ(facts["changed"], false);
    EXPECT_EQ(facts["ansible_facts"]["unit_modes"]["POSTimeout"], "10");
    EXPECT_EQ(facts["ansible_facts"]["unit_modes"]["UnitStatus"], "OK");

    nlohmann::json check = module(
        R"({"address": "127.27.5.1", "modes": {"POSTimeout": 15, "DHCP": false},
            "_ansible_check_mode": true, "_ansible_diff": true})");
    EXPECT_EQ(check["changed"], true);
    EXPECT_EQ(check["diff"]["before"], "POSTimeout = 10\n");
    EXPECT_EQ(check["diff"]["after"], "POSTimeout = 15\n");
    EXPECT_EQ(support::readFile(dir_ + "/journal").find("POSTimeout = 15"), std::string::npos);

    nlohmann::json set = module(R"({"address": "127.27.5.1", "modes": {"POSTimeout": 15},
                                    "backup_dir": ")" +
                                dir_ + R"("})");
    EXPECT_EQ(set["changed"], true);
    EXPECT_EQ(set["committed"], false);
    EXPECT_NE(support::readFile(dir_ + "/127.27.5.1.ini").find("POSTimeout           = 10\n"),
              std::string::npos);

    nlohmann::json typo = module(R"({"address": "127.27.5.1", "modes": {"POSTimeot": 1}})", 1);
    EXPECT_EQ(typo["msg"], "the unit has no mode POSTimeot (did you mean POSTimeout?)");
    nlohmann::json unreachable = module(R"({"address": "127.27.5.2", "timeout": 1})", 1);
    EXPECT_EQ(unreachable["failed"], true);
    EXPECT_EQ(unreachable["msg"], "unreachable: connection refused");
    EXPECT_EQ(module("not json", 1)["msg"], "the arguments file " + dir_ + "/args is not JSON");
}

}  // namespace
