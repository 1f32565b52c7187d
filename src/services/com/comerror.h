#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <string>

namespace torvel {

// The one error type of the library: what the platform's error object carried.
// Database failures carry the database's own text as the description, which is
// what the message boxes show after their fixed prefix.
class ComError : public std::exception
{
public:
    ComError(int32_t number, QString source, QString description);

    int32_t number() const { return m_number; }
    const QString &source() const { return m_source; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    int32_t m_number;
    QString m_source;
    QString m_description;
    std::string m_what;
};

// Error numbers in the ranges the platform used, so a host recognises them.
namespace errc {
inline constexpr int32_t InvalidProcedureCall = 5;     // invalid argument
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t ObjectRequired = 424;
inline constexpr int32_t CannotCreateObject = 429;
inline constexpr int32_t MemberNotFound = 438;
inline constexpr int32_t ItemNotFound = 3265;          // no such field in a record set
inline constexpr int32_t NoCurrentRecord = 3021;       // EOF or BOF
inline constexpr int32_t ObjectClosed = 3704;          // record set or connection closed
inline constexpr int32_t InvalidFilter = 3001;         // arguments of the wrong type or out of range
inline constexpr int32_t DatabaseError = -2147467259;  // 0x80004005, what the provider reports
} // namespace errc

// Descriptions of the errors raised in several places, in the platform's words.
namespace errtext {
inline const QString kOverflow = QStringLiteral("溢出");
inline const QString kUnknown = QStringLiteral("未知错误");
inline const QString kNoRecordset = QStringLiteral("没有返回记录集");
inline const QString kMemberNotFound = QStringLiteral("对象不支持该属性或方法: ");
inline const QString kCannotCreateObject = QStringLiteral("ActiveX 部件不能创建对象: ");
inline const QString kConnectionRequired = QStringLiteral("需要数据库连接对象 (TORVEL.Connection), 得到 ");
inline const QString kConnectionClosed = QStringLiteral("连接已关闭, 不能执行该操作");
inline const QString kConnectionLost = QStringLiteral("与数据库服务器的连接已断开");
inline const QString kReadOnlyDatabase = QStringLiteral("数据库是只读的，不能写入：");
} // namespace errtext

} // namespace torvel
