#include "schema/SystemTableSignatures.h"

#include <iterator>
#include <string_view>
#include <vector>

#include "schema/ColumnTypes.h"

namespace pw {
namespace {

struct SignatureColumn {
    const char* name;
    std::int32_t type;
    std::int32_t length;  // compared for small signatures only
};

struct Signature {
    const char* name;
    std::vector<SignatureColumn> columns;
};

namespace T = ColumnType;

// Read from the system tables of databases written by Access 2000 to 2019.
const std::vector<Signature>& Signatures() {
    static const std::vector<Signature> kSignatures = {
        {"MSysObjects",
         {{"Id", T::Long, 4}, {"ParentId", T::Long, 4}, {"Name", T::Text, 510}, {"Type", T::Int, 2},
          {"DateCreate", T::Date, 8}, {"DateUpdate", T::Date, 8}, {"Owner", T::Binary, 510}, {"Flags", T::Long, 4},
          {"Database", T::Memo, 0}, {"Connect", T::Memo, 0}, {"ForeignName", T::Text, 510},
          {"RmtInfoShort", T::Binary, 510}, {"RmtInfoLong", T::OleObject, 0}, {"Lv", T::OleObject, 0},
          {"LvProp", T::OleObject, 0}, {"LvModule", T::OleObject, 0}, {"LvExtra", T::OleObject, 0}}},
        {"MSysACEs", {{"ObjectId", T::Long, 4}, {"SID", T::Binary, 510}, {"ACM", T::Long, 4}, {"FInheritable", T::Bit, 1}}},
        {"MSysQueries",
         {{"ObjectId", T::Long, 4}, {"Attribute", T::Byte, 1}, {"Order", T::Binary, 510}, {"Name1", T::Text, 510},
          {"Name2", T::Text, 510}, {"Expression", T::Memo, 0}, {"Flag", T::Int, 2}, {"LvExtra", T::Long, 4}}},
        {"MSysRelationships",
         {{"szRelationship", T::Text, 510}, {"grbit", T::Long, 4}, {"ccolumn", T::Long, 4}, {"icolumn", T::Long, 4},
          {"szObject", T::Text, 510}, {"szColumn", T::Text, 510}, {"szReferencedObject", T::Text, 510},
          {"szReferencedColumn", T::Text, 510}}},
        {"MSysAccessObjects", {{"ID", T::Long, 4}, {"Data", 17, 3992}}},
        {"MSysAccessStorage",
         {{"Id", T::Long, 4}, {"Name", T::Text, 256}, {"ParentId", T::Long, 4}, {"Type", T::Long, 4},
          {"DateCreate", T::Date, 8}, {"DateUpdate", T::Date, 8}, {"Lv", T::OleObject, 0}}},
        {"MSysAccessXML",
         {{"Id", T::Long, 4}, {"ObjectGuid", T::Guid, 16}, {"ObjectName", T::Text, 130}, {"Property", T::Text, 130},
          {"Value", T::Text, 510}, {"LValue", T::OleObject, 0}}},
        {"MSysCmdbars", {{"TbName", T::Text, 510}, {"Grptbcd", T::OleObject, 0}}},
        {"MSysCompactError",
         {{"ErrorCode", T::Long, 4}, {"ErrorDescription", T::Memo, 0}, {"ErrorTable", T::Text, 510},
          {"ErrorRecid", T::Binary, 510}}},
        {"MSysComplexColumns",
         {{"ColumnName", T::Text, 510}, {"ComplexTypeObjectID", T::Long, 4}, {"FlatTableID", T::Long, 4},
          {"ConceptualTableID", T::Long, 4}, {"ComplexID", T::Long, 4}}},
        {"MSysComplexType_Attachment",
         {{"FileURL", T::Memo, 0}, {"FileName", T::Text, 510}, {"FileType", T::Text, 510},
          {"FileData", T::OleObject, 0}, {"FileTimeStamp", T::Date, 8}, {"FileFlags", T::Long, 4}}},
        {"MSysComplexType_Decimal", {{"Value", T::Numeric, 9}}},
        {"MSysComplexType_GUID", {{"Value", T::Guid, 16}}},
        {"MSysComplexType_IEEEDouble", {{"Value", T::Double, 8}}},
        {"MSysComplexType_IEEESingle", {{"Value", T::Single, 4}}},
        {"MSysComplexType_Long", {{"Value", T::Long, 4}}},
        {"MSysComplexType_Short", {{"Value", T::Int, 2}}},
        {"MSysComplexType_Text", {{"Value", T::Text, 510}}},
        {"MSysComplexType_UnsignedByte", {{"Value", T::Byte, 1}}},
        {"MSysIMEXColumns",
         {{"SpecID", T::Long, 4}, {"FieldName", T::Text, 128}, {"DataType", T::Int, 2}, {"Start", T::Int, 2},
          {"Width", T::Int, 2}, {"IndexType", T::Byte, 1}, {"SkipColumn", T::Bit, 1}, {"Attributes", T::Long, 4}}},
        {"MSysIMEXSpecs",
         {{"SpecName", T::Text, 128}, {"SpecID", T::Long, 4}, {"SpecType", T::Byte, 1}, {"FileType", T::Int, 2},
          {"DateFourDigitYear", T::Bit, 1}, {"DateLeadingZeros", T::Bit, 1}, {"DateOrder", T::Int, 2},
          {"DateDelim", T::Text, 4}, {"TimeDelim", T::Text, 4}, {"DecimalPoint", T::Text, 4},
          {"FieldSeparator", T::Text, 4}, {"TextDelim", T::Text, 4}, {"StartRow", T::Long, 4}}},
        {"MSysNameMap",
         {{"Id", T::Long, 4}, {"Name", T::Text, 130}, {"Type", T::Long, 4}, {"GUID", T::Guid, 16},
          {"NameMap", T::OleObject, 0}}},
        {"MSysNavPaneGroupCategories",
         {{"Id", T::Long, 4}, {"Name", T::Text, 510}, {"Type", T::Long, 4}, {"SelectedObjectID", T::Long, 4},
          {"Filter", T::Text, 510}, {"Position", T::Long, 4}, {"Flags", T::Long, 4}}},
        {"MSysNavPaneGroupToObjects",
         {{"Id", T::Long, 4}, {"ObjectID", T::Long, 4}, {"GroupID", T::Long, 4}, {"Name", T::Text, 510},
          {"Position", T::Long, 4}, {"Icon", T::Long, 4}, {"Flags", T::Long, 4}}},
        {"MSysNavPaneGroups",
         {{"Id", T::Long, 4}, {"Name", T::Text, 510}, {"GroupCategoryID", T::Long, 4}, {"ObjectID", T::Long, 4},
          {"Position", T::Long, 4}, {"Object Type Group", T::Long, 4}, {"Flags", T::Long, 4}}},
        {"MSysNavPaneObjectIDs", {{"Id", T::Long, 4}, {"Name", T::Text, 130}, {"Type", T::Long, 4}}},
        {"MSysResources",
         {{"Id", T::Long, 4}, {"Name", T::Text, 510}, {"Type", T::Text, 510}, {"Extension", T::Text, 510},
          {"Data", T::Attachment, 4}}},
        {"MSysWSDPCacheComplexColumnMapping",
         {{"TableName", T::Text, 510}, {"ComplexColumn", T::Text, 510}, {"ComplexSrcColumn", T::Text, 510},
          {"ChildTableName", T::Text, 510}}},
        {"MSysWSDPChangeTokenMapping",
         {{"TableName", T::Text, 510}, {"LastChangeToken", T::Text, 510}, {"References", T::Long, 4},
          {"Pending", T::Long, 4}, {"XASSite", T::Long, 4}, {"ErrorLoading", T::Long, 4}, {"Connect", T::Memo, 0}}},
        {"MSysWSDPRelationshipMapping",
         {{"ParentTableName", T::Memo, 0}, {"ParentColName", T::Text, 510}, {"ChildTableName", T::Memo, 0},
          {"ChildColName", T::Text, 510}, {"LookupType", T::Text, 510}}},
    };
    return kSignatures;
}

constexpr std::size_t kTolerantSize = 5;

bool Matches(const Signature& signature, const TableInfo& table) {
    const std::size_t want = signature.columns.size();
    const bool small = want < kTolerantSize;
    // The rule below allows no column missing or extra for a small
    // signature and one of each for a larger one: a table of any other width
    // cannot match, and a damaged definition may hold thousands of columns.
    const std::size_t columns = table.columns.size();
    if (small ? columns != want : (columns + 1 < want || columns > want + 1)) return false;
    std::size_t matched = 0;
    for (const ColumnInfo& column : table.columns) {
        for (const SignatureColumn& s : signature.columns) {
            if (column.name != s.name || column.typeCode != s.type) continue;
            if (small && column.length != s.length) continue;
            ++matched;
            break;
        }
    }
    const std::size_t missing = want - std::min(matched, want);
    const std::size_t extra = table.columns.size() - std::min(matched, table.columns.size());
    if (small) return missing == 0 && extra == 0 && (want > 1 || table.dataPages.empty());
    return missing <= 1 && extra <= 1;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "_<column>" and "<table>_<column>", both long integers, and a few columns
// holding the values.
std::optional<std::string> MatchComplexStorage(const TableInfo& table) {
    constexpr std::size_t kMostValueColumns = 6;
    if (table.columns.size() < 3 || table.columns.size() > 2 + kMostValueColumns) return std::nullopt;
    for (const ColumnInfo& key : table.columns) {
        if (key.typeCode != ColumnType::Long || key.name.size() < 2 || key.name[0] != '_') continue;
        for (const ColumnInfo& owner : table.columns) {
            if (&owner == &key || owner.typeCode != ColumnType::Long) continue;
            if (owner.name.size() > key.name.size() && EndsWith(owner.name, key.name) && !StartsWith(owner.name, "_"))
                return "f_" + owner.name;
        }
    }
    return std::nullopt;
}

const Signature* Named(const char* name) {
    for (const Signature& signature : Signatures())
        if (std::string_view(signature.name) == name) return &signature;
    return nullptr;
}

}  // namespace

std::optional<std::string> SystemTableAtPage(std::int32_t definitionPage, std::int32_t statedColumns) {
    static const char* const kFirstTables[] = {"MSysACEs", "MSysQueries", "MSysRelationships"};
    constexpr std::int32_t kFirstPage = 3;
    const std::int32_t at = definitionPage - kFirstPage;
    if (at < 0 || at >= static_cast<std::int32_t>(std::size(kFirstTables))) return std::nullopt;
    const Signature* signature = Named(kFirstTables[at]);
    if (signature == nullptr || static_cast<std::int32_t>(signature->columns.size()) != statedColumns) return std::nullopt;
    return std::string(signature->name);
}

bool IsAccessSystemTableName(const std::string& name) {
    return Named(name.c_str()) != nullptr;
}

std::optional<std::string> MatchSystemTable(const TableInfo& table) {
    if (table.columns.empty()) return std::nullopt;
    for (const Signature& signature : Signatures())
        if (Matches(signature, table)) return std::string(signature.name);
    if (std::optional<std::string> hidden = MatchComplexStorage(table)) return hidden;
    // Version-history templates carry a column whose name holds a fixed id.
    for (const ColumnInfo& column : table.columns)
        if (StartsWith(column.name, "Modified_F9B5E312-4155-4c59-9AAE-391C1B295827") && table.columns.size() <= 2)
            return std::string("MSysComplexTypeVH");
    return std::nullopt;
}

}  // namespace pw
