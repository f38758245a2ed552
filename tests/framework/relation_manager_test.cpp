#include "framework/relation_manager.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "fixture.h"

namespace corvix::framework {
namespace {

using storage::FieldType;
using storage::TableDecl;

enum { kGroupName };
enum { kMemberId, kMemberGroup, kMemberName };

const TableDecl& groups() {
    static const TableDecl d = [] {
        TableDecl d;
        d.label = "GROUPS";
        d.prefix = "GRP";
        d.name = "Club\\!Groups";
        d.fields = {{"GRP:Name", FieldType::String, 10, {}, "@s10"}};
        d.keys = {{"GRP:K_Name",
                   "Group",
                   {kGroupName},
                   storage::kKeyPrimary | storage::kKeyOptional | storage::kKeyNoCase}};
        return d;
    }();
    return d;
}

const TableDecl& members() {
    static const TableDecl d = [] {
        TableDecl d;
        d.label = "MEMBERS";
        d.prefix = "MEM";
        d.name = "Club\\!Members";
        d.fields = {{"MEM:ID", FieldType::Long, 0, {}, "@n6"},
                    {"MEM:Group", FieldType::String, 10, {}, "@s10"},
                    {"MEM:Name", FieldType::String, 20, {}, "@s20"}};
        d.keys = {{"MEM:K_ID",
                   "ID",
                   {kMemberId},
                   storage::kKeyPrimary | storage::kKeyOptional | storage::kKeyAutoNumber |
                       storage::kKeyNoCase},
                  {"MEM:K_Group", "Group", {kMemberGroup, kMemberName}, storage::kKeyNoCase}};
        return d;
    }();
    return d;
}

class RelationManagerTest : public testing::ScratchFixture {
  protected:
    void SetUp() override {
        ScratchFixture::SetUp();
        groupFile_ = std::make_unique<FileManager>(groups(), groupBuf_);
        memberFile_ = std::make_unique<FileManager>(members(), memberBuf_);
        parent_ = std::make_unique<RelationManager>(*groupFile_, true);
        child_ = std::make_unique<RelationManager>(*memberFile_, true);
    }
    void TearDown() override {
        parent_.reset();
        child_.reset();
        groupFile_.reset();
        memberFile_.reset();
        ScratchFixture::TearDown();
    }
    void relate(int updateRule, int deleteRule) {
        parent_->AddRelation(*child_, updateRule, deleteRule, 1, {{kGroupName, kMemberGroup}});
        ASSERT_EQ(parent_->Open(), kLevelBenign);
        for (const char* g : {"a", "b"}) {
            groupBuf_.set(kGroupName, std::string(g));
            ASSERT_EQ(groupFile_->Insert(), kLevelBenign);
        }
        for (auto [g, n] : {std::pair{"a", "ann"}, {"a", "al"}, {"b", "bob"}}) {
            memberBuf_.clear();
            memberBuf_.set(kMemberGroup, std::string(g));
            memberBuf_.set(kMemberName, std::string(n));
            ASSERT_EQ(memberFile_->Insert(), kLevelBenign);
        }
    }
    bool fetchGroup(const std::string& name) {
        groupBuf_.set(kGroupName, name);
        return groupFile_->TryFetch(0) == kLevelBenign;
    }
    std::map<std::string, std::string> memberGroups() {
        std::map<std::string, std::string> out;
        storage::Table t(members());
        EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
        storage::Record r(members());
        t.set();
        while (t.next(r) == 0) out[r.getString(kMemberName)] = r.getString(kMemberGroup);
        return out;
    }
    int64_t groupCount() {
        storage::Table t(groups());
        EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
        return t.records();
    }

    storage::Record groupBuf_{groups()};
    storage::Record memberBuf_{members()};
    std::unique_ptr<FileManager> groupFile_, memberFile_;
    std::unique_ptr<RelationManager> parent_, child_;
};

TEST_F(RelationManagerTest, OpenAndCloseReachTheRelatedTables) {
    relate(kRuleCascade, kRuleCascade);
    EXPECT_TRUE(memberFile_->IsOpen());
    parent_->Close();
    EXPECT_FALSE(groupFile_->IsOpen());
    EXPECT_FALSE(memberFile_->IsOpen());
    ASSERT_EQ(child_->Open(), kLevelBenign);  // from the child's side too
    EXPECT_EQ(memberFile_->SetOrder(0), kLevelBenign);
    EXPECT_TRUE(fetchGroup("a"));
    child_->Close();
}

TEST_F(RelationManagerTest, CascadeDeleteRemovesTheChildren) {
    relate(kRuleCascade, kRuleCascade);
    ASSERT_TRUE(fetchGroup("A"));
    EXPECT_EQ(parent_->Delete(false), kLevelBenign);
    EXPECT_EQ(memberGroups(), (std::map<std::string, std::string>{{"bob", "b"}}));
    EXPECT_EQ(groupCount(), 1);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(RelationManagerTest, ClearOnDeleteBlanksTheLinks) {
    relate(kRuleClear, kRuleClear);
    ASSERT_TRUE(fetchGroup("a"));
    EXPECT_EQ(parent_->Delete(false), kLevelBenign);
    EXPECT_EQ(memberGroups(),
              (std::map<std::string, std::string>{{"ann", ""}, {"al", ""}, {"bob", "b"}}));
    EXPECT_EQ(groupCount(), 1);
}

TEST_F(RelationManagerTest, ClearOnUpdateBlanksTheLinks) {
    relate(kRuleClear, kRuleRestrict);
    ASSERT_TRUE(fetchGroup("a"));
    groupBuf_.set(kGroupName, std::string("c"));
    EXPECT_EQ(parent_->Update(), kLevelBenign);
    EXPECT_EQ(memberGroups(),
              (std::map<std::string, std::string>{{"ann", ""}, {"al", ""}, {"bob", "b"}}));
    EXPECT_TRUE(fetchGroup("c"));
}

TEST_F(RelationManagerTest, RestrictedUpdatePutsTheOldLinkBack) {
    relate(kRuleRestrict, kRuleRestrict);
    ASSERT_TRUE(fetchGroup("a"));
    groupBuf_.set(kGroupName, std::string("c"));
    EXPECT_EQ(parent_->Update(), kLevelNotify);
    ASSERT_EQ(titles(), std::vector<std::string>{"Referential Integrity Update Error"});
    EXPECT_EQ(prompt_.asked()[0].text,
              "This record is referenced from the file Members [MEMBERS]. Linking field(s) have "
              "been restricted from change and have been reset to original values.");
    EXPECT_EQ(groupBuf_.getString(kGroupName), "a");
    EXPECT_FALSE(fetchGroup("c"));
    EXPECT_TRUE(fetchGroup("a"));
    EXPECT_EQ(memberGroups().at("ann"), "a");
}

TEST_F(RelationManagerTest, RestrictAllowsAParentWithoutChildren) {
    relate(kRuleRestrict, kRuleRestrict);
    groupBuf_.set(kGroupName, std::string("empty"));
    ASSERT_EQ(groupFile_->Insert(), kLevelBenign);
    ASSERT_TRUE(fetchGroup("empty"));
    groupBuf_.set(kGroupName, std::string("renamed"));
    EXPECT_EQ(parent_->Update(), kLevelBenign);
    ASSERT_TRUE(fetchGroup("renamed"));
    EXPECT_EQ(parent_->Delete(false), kLevelBenign);
    EXPECT_EQ(groupCount(), 2);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(RelationManagerTest, ChangedByAnotherStationRollsBackTheCascade) {
    relate(kRuleCascade, kRuleRestrict);
    storage::Record otherBuf(groups());
    FileManager other(groups(), otherBuf);
    other.Open();
    ASSERT_TRUE(fetchGroup("a"));
    otherBuf.set(kGroupName, std::string("a"));
    ASSERT_EQ(other.Fetch(0), kLevelBenign);
    otherBuf.set(kGroupName, std::string("z"));
    ASSERT_EQ(other.Update(), kLevelBenign);  // no relation manager: members keep "a"

    groupBuf_.set(kGroupName, std::string("c"));
    EXPECT_EQ(parent_->Update(true), kLevelNotify);
    ASSERT_EQ(titles(), std::vector<std::string>{"Record Was Not Updated"});
    EXPECT_EQ(prompt_.asked()[0].text.rfind("This record was changed by another station. Those", 0),
              0u);
    EXPECT_EQ(groupBuf_.getString(kGroupName), "z");
    EXPECT_FALSE(fetchGroup("c"));
    EXPECT_EQ(memberGroups().at("ann"), "a");
    other.Close();
}

TEST_F(RelationManagerTest, ConfirmDeleteAnsweredNoDeletesNothing) {
    relate(kRuleCascade, kRuleCascade);
    ASSERT_TRUE(fetchGroup("a"));
    prompt_.answer(kButtonNo);
    EXPECT_EQ(parent_->Delete(true), kLevelCancel);
    EXPECT_EQ(groupCount(), 2);
    EXPECT_EQ(memberGroups().size(), 3u);
    EXPECT_EQ(titles(), std::vector<std::string>{"Confirm Delete"});
}

TEST_F(RelationManagerTest, CancelAutoIncThroughTheRelationManager) {
    relate(kRuleCascade, kRuleCascade);
    ASSERT_EQ(memberFile_->PrimeRecord(), kLevelBenign);
    EXPECT_EQ(memberGroups().size(), 4u);  // the reserved record
    ASSERT_EQ(memberFile_->CancelAutoInc(child_.get()), kLevelBenign);
    EXPECT_EQ(memberGroups().size(), 3u);
    EXPECT_TRUE(prompt_.asked().empty());  // no "Confirm Delete" for a reserved record
}

}  // namespace
}  // namespace corvix::framework
