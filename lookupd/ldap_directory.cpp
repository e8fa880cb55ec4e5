#include "lookupd/ldap_directory.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "lookupd/ldap_connect.h"
#include "lookupd/ldap_filter.h"
#include "mount/secret_text.h"

namespace brisvane::lookupd {

namespace {

using Clock = std::chrono::steady_clock;
using Kind = MemberAnswer::Kind;

// Messages read in one go before the deadlines are looked at again, so that a directory that
// floods a connection cannot hold its thread.
constexpr int kMessagesPerRound = 256;

// Wakes a connection's thread from poll(): new lookups for it, or the end.
class WakeEvent {
  public:
    WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd_ < 0) {
            throw std::system_error(errno, std::generic_category(), "eventfd");
        }
    }
    ~WakeEvent() { close(fd_); }
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;
    WakeEvent(WakeEvent&&) = delete;
    WakeEvent& operator=(WakeEvent&&) = delete;

    int Fd() const { return fd_; }
    // Neither can fail but for a full counter (a wake pending already) or an empty one.
    void Signal() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }
    void Clear() const {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t taken = read(fd_, &count, sizeof count);
    }

  private:
    int fd_;
};

// Milliseconds until `deadline` for poll(), rounded up so that the deadline has passed on return.
int PollTimeout(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
}

bool MakeNonBlocking(int socket) {
    const int flags = fcntl(socket, F_GETFL);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Lets libldap read what has come in one go, several answers at once, instead of each
// message's head and body apart (below TLS, where there is TLS). What it holds counts as data
// ready for ldap_result, which empties it before saying that nothing is left.
bool ReadAhead(LDAP* ld) {
    Sockbuf* socketBuffer = nullptr;
    return ldap_get_option(ld, LDAP_OPT_SOCKBUF, &socketBuffer) == LDAP_OPT_SUCCESS &&
           socketBuffer != nullptr &&
           ber_sockbuf_add_io(socketBuffer, &ber_sockbuf_io_readahead, LBER_SBIOD_LEVEL_PROVIDER,
                              nullptr) == 0;
}

// A search's sending failed because of the connection, not of the search: the directory is
// gone, or does not read (the socket is full).
bool ConnectionTrouble(int code) {
    return code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR || code == LDAP_BUSY;
}

}  // namespace

// One connection and its thread. The thread alone touches the libldap handle: it connects when
// lookups wait that the other connections will not take, sends the searches it has room for,
// collects their results and abandons those whose lookup has reached its deadline. Between
// those steps it waits in poll() on its socket, its wake event and the earliest deadline.
class LdapDirectory::Connection {
  public:
    enum class State { kIdle, kConnecting, kReady };

    explicit Connection(LdapDirectory& owner) : owner_(owner) {}
    ~Connection() { Join(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&&) = delete;
    Connection& operator=(Connection&&) = delete;

    void Start() {
        thread_ = std::jthread([this] { Run(); });
    }
    // Cuts a connection attempt short; the thread ends once it sees the owner stopping.
    void Stop() {
        interrupt_.Close();
        wake_.Signal();
    }
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    void Wake() const { wake_.Signal(); }

  private:
    // The owner reads and sets the state under its lock, to choose whom to wake.
    friend class LdapDirectory;
    // What has come for one search so far.
    struct Search {
        Lookup lookup;
        std::uint64_t readBefore = 0;  // messages read on the connection when it was sent
        MemberSearch member;
    };

    void Run();
    void TakeQueued(std::vector<Lookup>& taken, Answers& answers);
    void Connect(Clock::time_point deadline);
    void Send(std::vector<Lookup>& taken, Answers& answers, std::size_t& freed);
    int StartSearch(const Lookup& lookup, int& id);
    void Wait(Answers& answers, std::size_t& freed);
    void Read(Answers& answers, std::size_t& freed);
    MemberAnswer Finish(const Search& search, LDAPMessage* result);
    void ExpireSearches(Answers& answers, std::size_t& freed);
    void Lose(const std::string& reason, std::vector<Lookup>& unsent, Answers& answers);

    LdapDirectory& owner_;
    // Guarded by the owner's mutex.
    State state_ = State::kIdle;
    std::size_t room_ = 0;  // searches it may still take while ready
    // Set under the mutex when it found nothing to take and goes to poll(): Wake() it for
    // work. Cleared without the mutex once awake, as it looks at the queue again before the
    // next poll(): a lookup queued meanwhile is taken without a wake.
    std::atomic<bool> sleeping_{false};

    WakeEvent wake_;
    ConnectInterrupt interrupt_;  // before the handle, which reports to it until it goes
    LdapHandle ld_;
    int socket_ = -1;                           // ld_'s, non-blocking once ready
    std::unordered_map<int, Search> searches_;  // outstanding, by message id
    std::uint64_t read_ = 0;                    // messages read on this connection
    bool moreToRead_ = false;                   // a round ended before libldap ran dry
    bool pauseConnecting_ = false;              // after a failed attempt: until woken again
    std::jthread thread_;                       // last: joined before the members above go
};

void LdapDirectory::Connection::Run() {
    std::vector<Lookup> taken;
    Answers answers;
    std::size_t freed = 0;  // searches ended since the last look at the queue
    for (;;) {
        std::optional<Clock::time_point> connectBy;
        Connection* other = nullptr;
        {
            const std::lock_guard lock(owner_.mutex_);
            if (owner_.stopping_) {
                return;
            }
            if (state_ == State::kReady) {
                room_ += freed;
                TakeQueued(taken, answers);
            } else if (!pauseConnecting_ && owner_.Uncovered(this)) {
                // For every lookup waiting now: the attempt may last as long as the newest.
                state_ = State::kConnecting;
                connectBy = std::ranges::max(owner_.queue_, {}, &Lookup::deadline).deadline;
            }
            freed = 0;
            if (!owner_.queue_.empty()) {
                other = owner_.NextToServe();
            }
            sleeping_ = !connectBy && taken.empty();
        }
        if (other != nullptr) {
            other->Wake();
        }
        owner_.Deliver(answers);
        if (connectBy) {
            Connect(*connectBy);
        } else if (!taken.empty()) {
            Send(taken, answers, freed);  // then the queue once more before waiting
            taken.clear();
        } else {
            Wait(answers, freed);
        }
    }
}

void LdapDirectory::Connection::TakeQueued(std::vector<Lookup>& taken, Answers& answers) {
    const Clock::time_point now = Clock::now();
    std::deque<Lookup>& queue = owner_.queue_;
    while (room_ > 0 && !queue.empty()) {
        Lookup lookup = std::move(queue.front());
        queue.pop_front();
        if (lookup.deadline <= now) {
            ++owner_.timeouts_;
            answers.push_back({std::move(lookup.done), owner_.TimedOut()});
            continue;
        }
        --room_;
        taken.push_back(std::move(lookup));
    }
}

void LdapDirectory::Connection::Connect(Clock::time_point deadline) {
    // The attempt ends a little before the lookups it is for, so that they are answered with
    // its reasons (which replica failed at which step) rather than a bare time-out.
    const auto margin =
        std::min<Clock::duration>(owner_.config_.timeout / 20, std::chrono::milliseconds(50));
    std::string error;
    LdapHandle ld = ConnectDirectory(owner_.config_, owner_.bindPassword_, deadline - margin,
                                     owner_.timer_, interrupt_, error);
    int socket = -1;
    // Non-blocking from now on: a directory that sends half a message, or stops reading, can
    // never hold this thread past the deadlines it watches.
    if (ld && (ldap_get_option(ld.get(), LDAP_OPT_DESC, &socket) != LDAP_OPT_SUCCESS ||
               socket < 0 || !MakeNonBlocking(socket) || !ReadAhead(ld.get()))) {
        ld.reset();
        error = "the connection has no usable socket";
    }
    const bool connected = ld != nullptr;
    if (connected) {
        ld_ = std::move(ld);
        socket_ = socket;
        ++owner_.reconnects_;
    } else {
        ++owner_.errors_;
    }
    Answers answers;
    Connection* other = nullptr;
    {
        const std::lock_guard lock(owner_.mutex_);
        if (owner_.stopping_) {
            return;
        }
        if (connected) {
            state_ = State::kReady;
            room_ = owner_.config_.searchesPerConnection;
            pauseConnecting_ = false;
        } else {
            state_ = State::kIdle;
            const bool othersServe = owner_.AnyServing(this);
            if (!othersServe) {
                // The attempt was made for the lookups waiting when it began: none of them
                // will see a connection in time.
                std::deque<Lookup>& queue = owner_.queue_;
                const auto covered = [deadline](const Lookup& l) { return l.deadline <= deadline; };
                for (Lookup& lookup : queue) {
                    if (covered(lookup)) {
                        answers.push_back({std::move(lookup.done),
                                           {Kind::kUnavailable, {}, "directory: " + error}});
                    }
                }
                std::erase_if(queue, covered);
            }
            // Lookups that came during the attempt get one of their own; otherwise a new
            // attempt waits for new lookups.
            pauseConnecting_ = othersServe || owner_.queue_.empty();
        }
        if (!owner_.queue_.empty()) {
            other = owner_.NextToServe();
        }
    }
    if (other != nullptr) {
        other->Wake();
    }
    owner_.Deliver(answers);
}

void LdapDirectory::Connection::Send(std::vector<Lookup>& taken, Answers& answers,
                                     std::size_t& freed) {
    for (auto lookup = taken.begin(); lookup != taken.end(); ++lookup) {
        int id = 0;
        const int rc = StartSearch(*lookup, id);
        if (rc == LDAP_SUCCESS) {
            searches_.emplace(id, Search{std::move(*lookup), read_, {}});
            continue;
        }
        const std::string reason = DescribeLdapError(ld_.get(), rc);
        if (ConnectionTrouble(rc)) {
            // This one may have gone out in part: it counts as sent once.
            std::vector<Lookup> unsent;
            if (lookup->retried) {
                answers.push_back({std::move(lookup->done),
                                   {Kind::kUnavailable, {}, "directory search: " + reason}});
            } else {
                lookup->retried = true;
                unsent.push_back(std::move(*lookup));
            }
            unsent.insert(unsent.end(), std::make_move_iterator(std::next(lookup)),
                          std::make_move_iterator(taken.end()));
            Lose(reason, unsent, answers);
            return;
        }
        ++owner_.errors_;
        ++freed;
        answers.push_back(
            {std::move(lookup->done), {Kind::kUnavailable, {}, "directory search: " + reason}});
    }
}

int LdapDirectory::Connection::StartSearch(const Lookup& lookup, int& id) {
    const DirectoryConfig& config = owner_.config_;
    // The directory's own time limit, so that it stops working on a search nobody waits for.
    timeval limit = LdapTimeout(lookup.deadline - Clock::now());
    if (lookup.filter.empty()) {
        char noAttributes[] = LDAP_NO_ATTRS;
        char* attributes[] = {noAttributes, nullptr};
        return ldap_search_ext(ld_.get(), config.baseDn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                               attributes, 0, nullptr, nullptr, &limit, 1, &id);
    }
    char* attributes[] = {const_cast<char*>(config.attribute.c_str()), nullptr};
    // Two entries are enough to know that the name is ambiguous.
    return ldap_search_ext(ld_.get(), config.baseDn.c_str(), LDAP_SCOPE_SUBTREE,
                           lookup.filter.c_str(), attributes, 0, nullptr, nullptr, &limit, 2, &id);
}

void LdapDirectory::Connection::Wait(Answers& answers, std::size_t& freed) {
    pollfd watched[2] = {{wake_.Fd(), POLLIN, 0}, {socket_, POLLIN, 0}};
    int timeout = -1;
    if (moreToRead_) {
        timeout = 0;
    } else if (!searches_.empty()) {
        Clock::time_point earliest = Clock::time_point::max();
        for (const auto& [id, search] : searches_) {
            earliest = std::min(earliest, search.lookup.deadline);
        }
        timeout = PollTimeout(earliest);
    }
    if (poll(watched, ld_ ? 2 : 1, timeout) < 0) {
        watched[0].revents = watched[1].revents = 0;
    }
    sleeping_ = false;
    if (watched[0].revents != 0) {
        wake_.Clear();
        pauseConnecting_ = false;
    }
    if (ld_ && (moreToRead_ || watched[1].revents != 0)) {
        Read(answers, freed);
    }
    if (ld_) {
        ExpireSearches(answers, freed);
    }
}

void LdapDirectory::Connection::Read(Answers& answers, std::size_t& freed) {
    moreToRead_ = false;
    for (int i = 0; i < kMessagesPerRound; ++i) {
        LDAPMessage* raw = nullptr;
        timeval noWait{0, 0};
        const int type = ldap_result(ld_.get(), LDAP_RES_ANY, LDAP_MSG_ONE, &noWait, &raw);
        const LdapMessageHandle message(raw);
        if (type == 0) {
            return;
        }
        if (type < 0) {
            int code = LDAP_SERVER_DOWN;
            ldap_get_option(ld_.get(), LDAP_OPT_RESULT_CODE, &code);
            std::vector<Lookup> none;
            Lose(DescribeLdapError(ld_.get(), code), none, answers);
            return;
        }
        ++read_;
        const auto found = searches_.find(ldap_msgid(message.get()));
        if (found == searches_.end()) {
            continue;  // unsolicited, or late for a search abandoned already
        }
        if (type == LDAP_RES_SEARCH_ENTRY) {
            found->second.member.Collect(ld_.get(), message.get(), owner_.config_.attribute);
        } else if (type == LDAP_RES_SEARCH_RESULT) {
            MemberAnswer answer = Finish(found->second, message.get());
            answers.push_back({std::move(found->second.lookup.done), std::move(answer)});
            searches_.erase(found);
            ++freed;
        }
        // Continuation references (and anything else) are skipped: never followed, never an
        // entry.
    }
    moreToRead_ = true;
}

MemberAnswer LdapDirectory::Connection::Finish(const Search& search, LDAPMessage* result) {
    if (search.lookup.filter.empty()) {
        int code = LDAP_SUCCESS;
        const std::string text = ResultText(ld_.get(), result, code);
        if (code != LDAP_SUCCESS) {
            ++owner_.errors_;
            return {Kind::kUnavailable, {}, "directory: readiness search: " + text};
        }
        return {Kind::kFound, {}, {}};
    }
    int code = LDAP_SUCCESS;
    MemberAnswer answer = search.member.Finish(ld_.get(), result, owner_.config_.attribute, code);
    if (answer.kind == Kind::kUnavailable) {
        ++owner_.errors_;
    }
    if (code == LDAP_REFERRAL && !owner_.referralReported_.exchange(true)) {
        owner_.warn_("warning: [directory] base_dn \"" + owner_.config_.baseDn +
                     "\" is a referral: the directory holds those entries elsewhere and refers "
                     "every search there, which the service never follows; members get 503 until "
                     "base_dn names the directory's own domain or an OU in it. " +
                     answer.detail);
    }
    return answer;
}

void LdapDirectory::Connection::ExpireSearches(Answers& answers, std::size_t& freed) {
    const Clock::time_point now = Clock::now();
    bool stalled = false;
    for (auto search = searches_.begin(); search != searches_.end();) {
        if (search->second.lookup.deadline > now) {
            ++search;
            continue;
        }
        // Nothing at all came since it was sent: the directory does not answer on this
        // connection any more, and another (perhaps to the next replica) is made.
        stalled = stalled || search->second.readBefore == read_;
        ldap_abandon_ext(ld_.get(), search->first, nullptr, nullptr);
        ++owner_.timeouts_;
        answers.push_back({std::move(search->second.lookup.done), owner_.TimedOut()});
        search = searches_.erase(search);
        ++freed;
    }
    if (stalled) {
        std::vector<Lookup> none;
        Lose("no answer within the time-out", none, answers);
    }
}

// The connection is gone, lost or stalled: its searches are sent once more on another, or
// answered when they were sent once already.
void LdapDirectory::Connection::Lose(const std::string& reason, std::vector<Lookup>& unsent,
                                     Answers& answers) {
    const bool affected = !searches_.empty() || !unsent.empty();
    ld_.reset();
    socket_ = -1;
    moreToRead_ = false;
    const Clock::time_point now = Clock::now();
    for (auto& [id, search] : searches_) {
        if (!search.lookup.retried && search.lookup.deadline > now) {
            search.lookup.retried = true;
            unsent.push_back(std::move(search.lookup));
        } else {
            answers.push_back({std::move(search.lookup.done),
                               {Kind::kUnavailable, {}, "directory search: " + reason}});
        }
    }
    searches_.clear();
    if (affected) {
        ++owner_.errors_;
    }
    // Back to the front of the queue, the oldest first.
    std::ranges::sort(unsent, std::ranges::greater{}, &Lookup::deadline);
    Connection* other = nullptr;
    {
        const std::lock_guard lock(owner_.mutex_);
        state_ = State::kIdle;
        room_ = 0;
        for (Lookup& lookup : unsent) {
            owner_.ArmQueueDeadline(lookup.deadline);
            owner_.queue_.push_front(std::move(lookup));
        }
        if (!owner_.queue_.empty()) {
            other = owner_.NextToServe();
        }
    }
    unsent.clear();
    if (other != nullptr) {
        other->Wake();
    }
}

LdapDirectory::LdapDirectory(DirectoryConfig config, std::string bindPassword, Warn warn)
    : config_(std::move(config)), bindPassword_(std::move(bindPassword)), warn_(std::move(warn)) {
    const unsigned count = std::max(1U, config_.connections);
    for (unsigned i = 0; i < count; ++i) {
        connections_.push_back(std::make_unique<Connection>(*this));
    }
    for (const auto& connection : connections_) {
        connection->Start();
    }
}

LdapDirectory::~LdapDirectory() {
    std::deque<Lookup> dropped;  // their callbacks go without being called
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped.swap(queue_);
    }
    for (const auto& connection : connections_) {
        connection->Stop();
    }
    for (const auto& connection : connections_) {
        connection->Join();
    }
    connections_.clear();
    WipeText(bindPassword_);
}

void LdapDirectory::Find(std::string_view username, AnswerCallback done) {
    Admit(
        {FilterForUser(config_.filter, username), Clock::now() + config_.timeout, std::move(done)});
}

void LdapDirectory::CheckReady(ReadyCallback done) {
    Admit(
        {{}, Clock::now() + config_.timeout, [done = std::move(done)](const MemberAnswer& answer) {
             done(answer.kind == Kind::kFound);
         }});
}

SourceCounters LdapDirectory::Counters() const {
    return {reconnects_.load(), errors_.load(), timeouts_.load(), overflows_.load(),
            inFlight_.load()};
}

void LdapDirectory::Admit(Lookup lookup) {
    AnswerCallback refused;
    Connection* wake = nullptr;
    const std::size_t searches = connections_.size() * config_.searchesPerConnection;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        // Every search the connections can hold, and the queue beyond them.
        if (inFlight_.load() >= searches + config_.queue) {
            refused = std::move(lookup.done);
        } else {
            ++inFlight_;
            ArmQueueDeadline(lookup.deadline);
            queue_.push_back(std::move(lookup));
            wake = NextToServe();
        }
    }
    if (refused) {
        ++overflows_;
        refused({Kind::kUnavailable,
                 {},
                 "directory: too busy: " + std::to_string(searches) + " searches and " +
                     std::to_string(config_.queue) +
                     " lookups waiting already ([directory] connections, "
                     "searches_per_connection, queue)"});
        return;
    }
    if (wake != nullptr) {
        wake->Wake();
    }
}

void LdapDirectory::Deliver(Answers& answers) {
    for (Answer& answer : answers) {
        if (stopping_) {
            break;  // the destructor runs: nobody waits any more
        }
        --inFlight_;
        answer.done(std::move(answer.answer));
    }
    answers.clear();
}

MemberAnswer LdapDirectory::TimedOut() const {
    return {Kind::kUnavailable,
            {},
            "directory: no answer within " + std::to_string(config_.timeout.count()) +
                " ms ([directory] timeout)"};
}

LdapDirectory::Connection* LdapDirectory::NextToServe() {
    if (stopping_) {
        return nullptr;
    }
    std::size_t covered = 0;  // lookups the connections awake or connecting will take
    Connection* roomiest = nullptr;
    Connection* idle = nullptr;
    for (const auto& connection : connections_) {
        switch (connection->state_) {
            case Connection::State::kReady:
                if (!connection->sleeping_) {
                    covered += connection->room_;
                } else if (connection->room_ > 0 &&
                           (roomiest == nullptr || connection->room_ > roomiest->room_)) {
                    roomiest = connection.get();
                }
                break;
            case Connection::State::kConnecting:
                covered += config_.searchesPerConnection;
                break;
            case Connection::State::kIdle:
                if (connection->sleeping_ && idle == nullptr) {
                    idle = connection.get();
                }
                break;
        }
    }
    if (covered >= queue_.size()) {
        return nullptr;
    }
    Connection* chosen = roomiest != nullptr ? roomiest : idle;
    if (chosen != nullptr) {
        chosen->sleeping_ = false;
    }
    return chosen;
}

bool LdapDirectory::Uncovered(const Connection* asking) const {
    std::size_t covered = 0;
    for (const auto& connection : connections_) {
        if (connection.get() == asking) {
            continue;
        }
        if (connection->state_ == Connection::State::kReady) {
            covered += connection->room_;
        } else if (connection->state_ == Connection::State::kConnecting) {
            covered += config_.searchesPerConnection;
        }
    }
    return queue_.size() > covered;
}

bool LdapDirectory::AnyServing(const Connection* asking) const {
    return std::ranges::any_of(connections_, [asking](const auto& connection) {
        return connection.get() != asking && connection->state_ != Connection::State::kIdle;
    });
}

void LdapDirectory::ArmQueueDeadline(Clock::time_point when) {
    if (when >= queueDeadline_) {
        return;
    }
    queueDeadline_ = when;
    timer_.Arm(when, [this] { ExpireQueued(); });
}

void LdapDirectory::ExpireQueued() {
    Answers answers;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        queueDeadline_ = Clock::time_point::max();
        const Clock::time_point now = Clock::now();
        Clock::time_point next = Clock::time_point::max();
        for (Lookup& lookup : queue_) {
            if (lookup.deadline <= now) {
                answers.push_back({std::move(lookup.done), TimedOut()});
            } else {
                next = std::min(next, lookup.deadline);
            }
        }
        std::erase_if(queue_, [now](const Lookup& lookup) { return lookup.deadline <= now; });
        if (next != Clock::time_point::max()) {
            ArmQueueDeadline(next);
        }
    }
    timeouts_ += answers.size();
    Deliver(answers);
}

}  // namespace brisvane::lookupd
