# Local servers for the demo and the end-to-end tests; sourced by sh scripts.
#
#   servers_start STATE CERTS UPDATE_PORT SHARE_PORT WWW NOTES
#     nginx over HTTPS on 127.0.0.1:UPDATE_PORT serving WWW (so WWW/update/ is
#     /update/), with the server certificate CERTS/server.pem, and the share
#     note stub on 127.0.0.1:SHARE_PORT answering from NOTES (a JSON file,
#     share key -> note HTML). Logs:
#       STATE/nginx/access.log  one line per request: METHOD URI STATUS BYTES
#                               (the start-up probes ask for /.ready-probe)
#       STATE/share.log         one JSON line per request (share_stub.py)
#     UPDATE_PORT 0 leaves nginx out; SHARE_PORT 0 leaves the stub out.
#     Both end by themselves after SERVERS_LIFETIME seconds (default 900).
#   servers_stop_nginx, servers_stop_share, servers_stop
#     End what servers_start started; servers_stop is safe to call twice.
#
# Failures are reported on stderr and give a non-zero status.

servers_here=${servers_here:-$(cd "$(dirname "$0")" && pwd)}
servers_nginx_pid=""
servers_share_pid=""

# servers_wait_tls PORT CA: waits up to 10 s for a TLS server on the port.
servers_wait_tls() {
  servers_i=0
  while ! curl -s -o /dev/null --max-time 2 --cacert "$2" "https://127.0.0.1:$1/.ready-probe"; do
    servers_i=$((servers_i + 1))
    [ $servers_i -le 100 ] || return 1
    sleep 0.1
  done
}

servers_start() {
  servers_state=$1 servers_certs=$2 servers_update_port=$3 servers_share_port=$4
  servers_www=$5 servers_notes=$6
  servers_life=${SERVERS_LIFETIME:-900}
  mkdir -p "$servers_state/nginx/logs" "$servers_state/nginx/temp"
  if [ "$servers_update_port" != 0 ]; then
    cat >"$servers_state/nginx/nginx.conf" <<CONF
user $(id -un) $(id -gn);
daemon off;
master_process on;
worker_processes 1;
pid $servers_state/nginx/nginx.pid;
error_log $servers_state/nginx/error.log info;
events { worker_connections 64; }
http {
  types {
    text/plain txt ini;
    text/html html;
  }
  default_type application/octet-stream;
  charset_types text/plain;
  log_format requests '\$request_method \$request_uri \$status \$body_bytes_sent';
  access_log $servers_state/nginx/access.log requests;
  client_body_temp_path $servers_state/nginx/temp/body;
  proxy_temp_path $servers_state/nginx/temp/proxy;
  fastcgi_temp_path $servers_state/nginx/temp/fastcgi;
  uwsgi_temp_path $servers_state/nginx/temp/uwsgi;
  scgi_temp_path $servers_state/nginx/temp/scgi;
  sendfile off;
  server {
    listen 127.0.0.1:$servers_update_port ssl;
    server_name 127.0.0.1 localhost;
    ssl_certificate $servers_certs/server.pem;
    ssl_certificate_key $servers_certs/server.key;
    root $servers_www;
    location /update/ {
      ${SERVERS_NGINX_UPDATE_EXTRA:-}
    }
    location / { return 404; }
  }
}
CONF
    timeout "$servers_life" nginx -p "$servers_state/nginx" -c "$servers_state/nginx/nginx.conf" -e "$servers_state/nginx/error.log" \
      >"$servers_state/nginx/stderr.log" 2>&1 &
    servers_nginx_pid=$!
    if ! servers_wait_tls "$servers_update_port" "$servers_certs/ca.pem"; then
      echo "servers: nginx did not start on port $servers_update_port:" >&2
      cat "$servers_state/nginx/stderr.log" "$servers_state/nginx/error.log" >&2 2>/dev/null
      return 1
    fi
  fi
  if [ "$servers_share_port" != 0 ]; then
    rm -f "$servers_state/share.ready"
    python3 "$servers_here/share_stub.py" --port "$servers_share_port" \
      --cert "$servers_certs/server.pem" --key "$servers_certs/server.key" \
      --log "$servers_state/share.log" --notes "$servers_notes" \
      --ready "$servers_state/share.ready" --lifetime "$servers_life" \
      >"$servers_state/share.stderr" 2>&1 &
    servers_share_pid=$!
    servers_i=0
    while [ ! -s "$servers_state/share.ready" ]; do
      servers_i=$((servers_i + 1))
      if [ $servers_i -gt 100 ] || ! kill -0 "$servers_share_pid" 2>/dev/null; then
        echo "servers: the share stub did not start on port $servers_share_port:" >&2
        cat "$servers_state/share.stderr" >&2
        return 1
      fi
      sleep 0.1
    done
  fi
}

servers_stop_nginx() {
  if [ -n "$servers_nginx_pid" ]; then
    # timeout passes TERM on to nginx, whose master stops its worker.
    kill "$servers_nginx_pid" 2>/dev/null || :
    wait "$servers_nginx_pid" 2>/dev/null || :
    servers_nginx_pid=""
  fi
}

servers_stop_share() {
  if [ -n "$servers_share_pid" ]; then
    kill "$servers_share_pid" 2>/dev/null || :
    wait "$servers_share_pid" 2>/dev/null || :
    servers_share_pid=""
  fi
}

servers_stop() {
  servers_stop_nginx
  servers_stop_share
}
