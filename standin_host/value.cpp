/* Host values as tests and tools hold them. */
#include "standin_host/internal.h"

namespace standin {

Value Value::integer(int32_t v)
{
    Value out;
    out.kind_ = Kind::Integer;
    out.scalar_ = v;
    return out;
}

Value Value::boolean(bool v)
{
    return booleanByte(v ? 1 : 0);
}

Value Value::booleanByte(uint8_t byte)
{
    Value out;
    out.kind_ = Kind::Boolean;
    out.scalar_ = byte;
    return out;
}

Value Value::color(uint32_t rgb)
{
    Value out;
    out.kind_ = Kind::Color;
    out.scalar_ = rgb;
    return out;
}

Value Value::adopt(Kind kind, void *handle)
{
    Value out;
    out.kind_ = kind;
    out.handle_ = handle;
    if (!out.isReference())
        throw HostError(std::string("a ") + kindName(kind) + " value holds no handle");
    return out;
}

Value Value::borrow(Kind kind, void *handle)
{
    Value out = adopt(kind, nullptr);
    Host::instance().lockHandle(handle, kind);
    out.handle_ = handle;
    return out;
}

Value::Value(const Value &other) : kind_(other.kind_), scalar_(other.scalar_), handle_(other.handle_)
{
    if (handle_)
        Host::instance().lockHandle(handle_, kind_);
}

Value &Value::operator=(const Value &other)
{
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value::Value(Value &&other) noexcept : kind_(other.kind_), scalar_(other.scalar_), handle_(other.handle_)
{
    other.handle_ = nullptr;
}

Value &Value::operator=(Value &&other) noexcept
{
    if (this != &other) {
        release();
        kind_ = other.kind_;
        scalar_ = other.scalar_;
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

Value::~Value()
{
    release();
}

bool Value::isReference() const
{
    return kind_ == Kind::String || isObjectKind(kind_);
}

namespace {
void expectKind(Kind have, Kind want)
{
    if (have != want)
        throw HostError(std::string("a ") + kindName(have) + " value read as " + kindName(want));
}
} // namespace

int32_t Value::asInteger() const
{
    expectKind(kind_, Kind::Integer);
    return static_cast<int32_t>(scalar_);
}

bool Value::asBoolean() const
{
    expectKind(kind_, Kind::Boolean);
    return scalar_ != 0;
}

uint32_t Value::asColor() const
{
    expectKind(kind_, Kind::Color);
    return static_cast<uint32_t>(scalar_);
}

void Value::release()
{
    if (!handle_)
        return;
    void *h = handle_;
    handle_ = nullptr;
    Host::instance().unlockHandle(h, kind_);
}

void *Value::detach()
{
    void *h = handle_;
    handle_ = nullptr;
    return h;
}

std::string Value::describe() const
{
    switch (kind_) {
    case Kind::Nil: return "nil";
    case Kind::Integer: return "integer " + std::to_string(scalar_);
    case Kind::Boolean: return "boolean " + std::to_string(scalar_);
    case Kind::Color: {
        char buf[16];
        snprintf(buf, sizeof buf, "&h%06X", static_cast<unsigned>(scalar_));
        return std::string("color ") + buf;
    }
    default:
        return handle_ ? Host::instance().describe(handle_) : std::string("nil ") + kindName(kind_);
    }
}

} // namespace standin
