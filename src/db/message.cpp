#include "message.h"

namespace db::engine {

std::vector<Column> describe(IMessageMetadata *meta, unsigned *size)
{
    Status st;
    std::vector<Column> cols;
    const unsigned n = meta->getCount(&st);
    st.check();
    for (unsigned i = 0; i < n; ++i) {
        Column c;
        const char *alias = meta->getAlias(&st, i);
        st.check();
        c.name = QString::fromLatin1(alias && *alias ? alias : meta->getField(&st, i)).trimmed();
        c.sqlType = int(meta->getType(&st, i) & ~1u);
        c.subType = meta->getSubType(&st, i);
        c.scale = meta->getScale(&st, i);
        c.length = meta->getLength(&st, i);
        c.offset = meta->getOffset(&st, i);
        c.nullOffset = meta->getNullOffset(&st, i);
        st.check();
        cols.push_back(c);
    }
    *size = meta->getMessageLength(&st);
    st.check();
    return cols;
}

int64_t readInteger(const unsigned char *p, int sqlType)
{
    switch (sqlType) {
    case SQL_SHORT: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case SQL_LONG: { int32_t v; std::memcpy(&v, p, 4); return v; }
    default: { int64_t v; std::memcpy(&v, p, 8); return v; }
    }
}

} // namespace db::engine
