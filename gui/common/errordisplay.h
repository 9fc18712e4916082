#pragma once
// The application's general error display, and the guard that handlers of the windows run behind.

#include <QObject>
#include <QString>
#include <cstddef>
#include <exception>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

/// The application's general error display: shows the exception's message in a message box with the
/// program's title as caption, and the program goes on.
void showException(const std::exception& failure);
void showErrorText(const QString& text);
/// Tells in a warning which catalogs' changes were made but are not yet safe on disk (their folder could
/// not be synced), if any since the last report.
void reportUnsyncedChanges();
/// Runs a handler; an exception that leaves it is shown by the error display, and so are changes it
/// made that are not yet safe on disk (reportUnsyncedChanges). Answers whether the handler ran to its end.
bool runGuarded(const std::function<void()>& handler);

namespace ErrorDisplayDetail {

template <typename Functor, typename... Arguments> void invokeLeading(Functor& functor, Arguments&&... arguments);

template <typename Functor, typename Tuple, std::size_t... Index>
void invokeWithout(Functor& functor, Tuple&& arguments, std::index_sequence<Index...>)
{
    invokeLeading(functor, std::get<Index>(std::forward<Tuple>(arguments))...);
}

/// Calls functor with as many of the leading arguments as it takes, as a slot takes a signal's.
template <typename Functor, typename... Arguments> void invokeLeading(Functor& functor, Arguments&&... arguments)
{
    if constexpr (std::is_invocable_v<Functor&, Arguments...>) {
        std::invoke(functor, std::forward<Arguments>(arguments)...);
    } else {
        static_assert(sizeof...(Arguments) > 0, "the functor takes none of the signal's arguments");
        invokeWithout(functor, std::forward_as_tuple(std::forward<Arguments>(arguments)...),
            std::make_index_sequence<sizeof...(Arguments) - 1>());
    }
}

} // namespace ErrorDisplayDetail

/// Connects signal of sender to functor, run behind runGuarded in context's thread: an exception that
/// leaves the handler is shown by the error display, and the program goes on. The functor takes the
/// signal's leading arguments, or none, as a slot would.
template <typename Sender, typename Signal, typename Functor>
QMetaObject::Connection connectGuarded(const Sender* sender, Signal signal, const QObject* context, Functor functor)
{
    return QObject::connect(sender, signal, context, [functor = std::move(functor)](auto&&... arguments) {
        runGuarded([&] { ErrorDisplayDetail::invokeLeading(functor, arguments...); });
    });
}
