// The row messages exchanged with statements: the layout the engine describes for a result, the
// engine's date and time coding, and the input message built from a statement's parameters.
// Private to the db folder.
#pragma once
#include "connection.h"
#include "engine.h"

#include "platform/cp1252.h"

#include <QDate>
#include <QTime>
#include <cstring>

namespace db::engine {

inline const int64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                          1000000000, 10000000000LL, 100000000000LL, 1000000000000LL,
                          10000000000000LL, 100000000000000LL, 1000000000000000LL,
                          10000000000000000LL, 100000000000000000LL, 1000000000000000000LL};

inline const QDate kEpoch(1858, 11, 17);

inline QDate decodeDate(ISC_DATE d) { return kEpoch.addDays(d); }
inline ISC_DATE encodeDate(const QDate &d) { return ISC_DATE(kEpoch.daysTo(d)); }
inline QTime decodeTime(ISC_TIME t) { return QTime(0, 0).addMSecs(int(t / 10)); }
inline ISC_TIME encodeTime(const QTime &t) { return ISC_TIME(QTime(0, 0).msecsTo(t)) * 10; }

// The columns of a message and the size of its buffer.
std::vector<Column> describe(IMessageMetadata *meta, unsigned *size);

int64_t readInteger(const unsigned char *p, int sqlType);

// Input messages are built by us: every parameter coerced to a type that holds the value.
class InputMessage {
public:
    InputMessage(IStatement *stmt, const std::vector<Value> &params)
    {
        Status st;
        const Ref<IMessageMetadata> in(stmt->getInputMetadata(&st));
        st.check();
        const unsigned n = in->getCount(&st);
        st.check();
        if (n != params.size())
            throw DbError(QStringLiteral("Statement expects %1 parameters, %2 given").arg(n).arg(params.size()));
        if (n == 0)
            return;
        const Ref<IMetadataBuilder> b(in->getBuilder(&st));
        st.check();
        std::vector<QByteArray> texts(n);
        for (unsigned i = 0; i < n; ++i) {
            const Value &v = params[i];
            switch (v.kind()) {
            case Value::Kind::Integer:
                b->setType(&st, i, SQL_INT64 + 1); b->setScale(&st, i, 0); b->setLength(&st, i, 8); break;
            case Value::Kind::Decimal:
                b->setType(&st, i, SQL_INT64 + 1); b->setScale(&st, i, -v.toDecimal().scale); b->setLength(&st, i, 8); break;
            case Value::Kind::Double:
                b->setType(&st, i, SQL_DOUBLE + 1); b->setScale(&st, i, 0); b->setLength(&st, i, 8); break;
            case Value::Kind::Date:
                b->setType(&st, i, SQL_TYPE_DATE + 1); b->setLength(&st, i, 4); break;
            case Value::Kind::Time:
                b->setType(&st, i, SQL_TYPE_TIME + 1); b->setLength(&st, i, 4); break;
            case Value::Kind::Timestamp:
                b->setType(&st, i, SQL_TIMESTAMP + 1); b->setLength(&st, i, 8); break;
            case Value::Kind::Blob:
                b->setType(&st, i, SQL_BLOB + 1); b->setLength(&st, i, 8); break;
            default: // text and null
                texts[i] = v.toBytes();
                b->setType(&st, i, SQL_VARYING + 1);
                b->setCharSet(&st, i, 0);
                // The slot must hold the whole value, or the engine stores a NULL.
                b->setLength(&st, i, std::max<unsigned>(1, unsigned(texts[i].size())));
                break;
            }
            st.check();
        }
        m_meta = Ref<IMessageMetadata>(b->getMetadata(&st));
        st.check();
        unsigned size = 0;
        m_cols = describe(m_meta.get(), &size);
        m_buffer.assign(size, 0);
        for (unsigned i = 0; i < n; ++i) {
            const Value &v = params[i];
            const Column &c = m_cols[i];
            unsigned char *p = m_buffer.data() + c.offset;
            int16_t isNull = v.isNull() ? -1 : 0;
            std::memcpy(m_buffer.data() + c.nullOffset, &isNull, 2);
            if (v.isNull())
                continue;
            switch (v.kind()) {
            case Value::Kind::Integer: { int64_t x = v.toInt(); std::memcpy(p, &x, 8); break; }
            case Value::Kind::Decimal: { int64_t x = v.toDecimal().mantissa; std::memcpy(p, &x, 8); break; }
            case Value::Kind::Double: { double x = v.toDouble(); std::memcpy(p, &x, 8); break; }
            case Value::Kind::Date: { ISC_DATE x = encodeDate(v.toDate()); std::memcpy(p, &x, 4); break; }
            case Value::Kind::Time: { ISC_TIME x = encodeTime(v.toTime()); std::memcpy(p, &x, 4); break; }
            case Value::Kind::Timestamp: {
                ISC_TIMESTAMP ts{encodeDate(v.toDateTime().date()), encodeTime(v.toDateTime().time())};
                std::memcpy(p, &ts, 8);
                break;
            }
            case Value::Kind::Blob: m_blobs.push_back({i, v.toBytes()}); break;
            default: {
                const QByteArray &t = texts[i];
                uint16_t len = uint16_t(t.size());
                std::memcpy(p, &len, 2);
                std::memcpy(p + 2, t.constData(), size_t(t.size()));
                break;
            }
            }
        }
    }
    // Blob parameters are written into the transaction before the statement runs.
    void writeBlobs(IAttachment *att, ITransaction *tx)
    {
        for (auto &[i, bytes] : m_blobs) {
            Status st;
            ISC_QUAD id;
            Ref<IBlob> blob(att->createBlob(&st, tx, &id, 0, nullptr));
            st.check();
            for (int pos = 0; pos < bytes.size(); pos += 32768) {
                const int chunk = std::min<int>(32768, int(bytes.size()) - pos);
                blob->putSegment(&st, unsigned(chunk), bytes.constData() + pos);
                st.check();
            }
            blob.end([](IBlob *b, Status &s) { b->close(&s); });
            std::memcpy(m_buffer.data() + m_cols[i].offset, &id, sizeof id);
        }
    }
    IMessageMetadata *meta() const { return m_meta.get(); }
    void *data() { return m_buffer.empty() ? nullptr : m_buffer.data(); }

private:
    Ref<IMessageMetadata> m_meta;
    std::vector<Column> m_cols;
    std::vector<unsigned char> m_buffer;
    std::vector<std::pair<unsigned, QByteArray>> m_blobs;
};

} // namespace db::engine
